// The BMC through the Linux kernel's IPMI driver: its device interface
// (ipmi_devintf, /dev/ipmi0), one request and its response at a time, addressed
// to the BMC itself on the system interface (Linux
// Documentation/driver-api/ipmi.rst, include/uapi/linux/ipmi.h).
//
// Host only; depends on nothing of the tool's core. The system calls go through
// IpmiDeviceCalls so that tests can replace them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// Where Linux's IPMI device interface (ipmi_devintf) shows the BMC, by naming
// scheme (devtmpfs/udev, and two older device managers), in the order tried.
// While one of them exists the kernel's IPMI driver owns the KCS interface.
inline constexpr const char* kKernelIpmiDeviceNodes[] = {"/dev/ipmi0", "/dev/ipmi/0", "/dev/ipmidev/0"};

// The largest message the driver passes (IPMI_MAX_MSG_LENGTH): NetFn and
// command, then up to 270 data bytes; a response's completion code counts as data.
inline constexpr size_t kKernelIpmiMaxMessage = 272;

// How long one request may wait for its response unless told otherwise, and the
// environment variable (whole seconds) with which a user sets another time.
inline constexpr int kKernelIpmiDefaultTimeoutMs = 15000;
inline constexpr const char* kKernelIpmiTimeoutVariable = "TOLVANE_KERNEL_TIMEOUT";

// TOLVANE_KERNEL_TIMEOUT's value in milliseconds: whole seconds from 1 to 3600;
// nullopt for anything else (empty, signs, fractions, out of range).
std::optional<int> ParseKernelIpmiTimeout(const char* seconds);

// The system calls the device needs. Each returns what the call returns on
// success and -errno on failure (never -1 with errno), so that a replacement
// need not touch errno.
struct IpmiDeviceCalls {
  virtual ~IpmiDeviceCalls() = default;
  // open(path, O_RDWR | O_CLOEXEC): the descriptor.
  virtual int Open(const char* path);
  // ioctl(fd, request, arg): 0 (or the call's non-negative result).
  virtual int Ioctl(int fd, unsigned long request, void* arg);
  // poll for POLLIN: 1 readable, 0 nothing within timeoutMs.
  virtual int Poll(int fd, int timeoutMs);
  virtual void Close(int fd);
  // CLOCK_MONOTONIC in milliseconds.
  virtual int64_t NowMs();
};

// The process's real system calls.
IpmiDeviceCalls& SystemIpmiDeviceCalls();

enum class KernelIpmiFailure {
  kNone,
  kNoDevice,           // no device node: the driver's modules are not loaded
  kPermissionDenied,   // the node exists but this user may not open it
  kBusy,               // EBUSY: too many requests outstanding (or the BMC restarting)
  kMessageTooLong,     // EMSGSIZE: the request does not fit the driver's message
  kSystemError,        // any other errno, by its strerror text
  kNoCompletionCode,   // a response with no bytes at all
  kResponseTooLong,    // more response bytes than the caller's buffer holds
  kTimedOut,           // no response before the deadline
  kEarlierUnanswered,  // an earlier request timed out and the driver still holds it
};

struct KernelIpmiResult {
  KernelIpmiFailure failure = KernelIpmiFailure::kNone;
  // On success: the response bytes written to the caller's buffer (completion
  // code first, then the data); at least 1.
  size_t length = 0;
  // On failure: one line starting "Error: ", without a line break.
  std::string reason;

  bool Ok() const { return failure == KernelIpmiFailure::kNone; }
};

class KernelIpmiDevice {
 public:
  explicit KernelIpmiDevice(IpmiDeviceCalls& calls = SystemIpmiDeviceCalls(),
                            int timeoutMs = kKernelIpmiDefaultTimeoutMs);
  ~KernelIpmiDevice();
  KernelIpmiDevice(const KernelIpmiDevice&) = delete;
  KernelIpmiDevice& operator=(const KernelIpmiDevice&) = delete;

  // Opens the first of kKernelIpmiDeviceNodes that exists (closing any device
  // open before). A node that exists but cannot be opened is reported, not skipped.
  KernelIpmiResult Open();
  // Opens this node only.
  KernelIpmiResult Open(const char* path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  // The node open now; empty when none is.
  const std::string& Path() const { return path_; }

  // Sends one request (NetFn unshifted, LUN 0) to the BMC and waits for its
  // response until the time-out; opens the default node first when no device is
  // open. Messages that are not the response to this request (events, replies
  // to requests an earlier call gave up on) are dropped. After a time-out the
  // driver still holds the request (its KCS retries can last over a minute):
  // no further request is sent behind it, each fails at once, until the
  // driver has handed back that request's late response.
  KernelIpmiResult Transfer(uint8_t netFn, uint8_t cmd, std::span<const uint8_t> data, std::span<uint8_t> response);

 private:
  // Takes what the driver has queued; true once the request that timed out has
  // its response.
  bool EarlierAnswered();

  IpmiDeviceCalls& calls_;
  int timeoutMs_;
  int fd_ = -1;
  std::string path_;
  long nextMsgId_ = 0;
  long unanswered_ = 0;  // the msgid of a request that timed out, until its response comes
};
