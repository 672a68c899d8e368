#include "platform/host/kernel_ipmi.hpp"

#include <fcntl.h>
#include <linux/ipmi.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>

static_assert(kKernelIpmiMaxMessage == IPMI_MAX_MSG_LENGTH);

namespace {

constexpr const char* kLoadDriver = "load the kernel's IPMI driver (modprobe ipmi_si ipmi_devintf)";

struct SystemCalls final : IpmiDeviceCalls {};

std::string Format(const char* format, auto... values) {
  char line[320];
  std::snprintf(line, sizeof line, format, values...);
  return line;
}

KernelIpmiResult Failure(KernelIpmiFailure failure, std::string reason) {
  KernelIpmiResult result;
  result.failure = failure;
  result.reason = std::move(reason);
  return result;
}

KernelIpmiResult OpenFailure(const char* path, int error) {
  switch (error) {
    case ENOENT:
      return Failure(KernelIpmiFailure::kNoDevice, Format("Error: no IPMI device at %s: %s.", path, kLoadDriver));
    case ENODEV:
    case ENXIO:
      return Failure(KernelIpmiFailure::kNoDevice,
                     Format("Error: no IPMI interface behind %s (%s): %s.", path, std::strerror(error), kLoadDriver));
    case EACCES:
    case EPERM:
      return Failure(KernelIpmiFailure::kPermissionDenied,
                     Format("Error: cannot open %s: permission denied (run as root, or as a member of the "
                            "device's group).",
                            path));
    default:
      return Failure(KernelIpmiFailure::kSystemError, Format("Error: cannot open %s: %s.", path, std::strerror(error)));
  }
}

// One message taken from the driver's queue for this user, its bytes into message.
struct Received {
  int result;  // the ioctl's: 0, or -errno (-EAGAIN: nothing queued)
  int recvType;
  long msgid;
  size_t length;
};
Received ReceiveOne(IpmiDeviceCalls& calls, int fd, std::span<uint8_t> message) {
  ipmi_addr from{};
  ipmi_recv received{};
  received.addr = reinterpret_cast<unsigned char*>(&from);
  received.addr_len = sizeof from;
  received.msg.data = message.data();
  received.msg.data_len = static_cast<unsigned short>(message.size());
  const int result = calls.Ioctl(fd, IPMICTL_RECEIVE_MSG_TRUNC, &received);
  return {result, received.recv_type, received.msgid, std::min<size_t>(received.msg.data_len, message.size())};
}

std::string Duration(int ms) { return ms % 1000 == 0 ? Format("%d s", ms / 1000) : Format("%d ms", ms); }

}  // namespace

int IpmiDeviceCalls::Open(const char* path) {
  int fd = ::open(path, O_RDWR | O_CLOEXEC);
  return fd >= 0 ? fd : -errno;
}

int IpmiDeviceCalls::Ioctl(int fd, unsigned long request, void* arg) {
  int result = ::ioctl(fd, request, arg);
  return result >= 0 ? result : -errno;
}

int IpmiDeviceCalls::Poll(int fd, int timeoutMs) {
  pollfd entry{fd, POLLIN, 0};
  int result = ::poll(&entry, 1, timeoutMs);
  if (result < 0) return -errno;
  if (result == 0) return 0;
  if ((entry.revents & POLLIN) != 0) return 1;
  return (entry.revents & POLLNVAL) != 0 ? -EBADF : -EIO;
}

void IpmiDeviceCalls::Close(int fd) { ::close(fd); }

int64_t IpmiDeviceCalls::NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

IpmiDeviceCalls& SystemIpmiDeviceCalls() {
  static SystemCalls calls;
  return calls;
}

std::optional<int> ParseKernelIpmiTimeout(const char* seconds) {
  if (seconds == nullptr || *seconds == '\0') return std::nullopt;
  int value = 0;
  for (const char* c = seconds; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return std::nullopt;
    value = value * 10 + (*c - '0');
    if (value > 3600) return std::nullopt;
  }
  if (value == 0) return std::nullopt;
  return value * 1000;
}

KernelIpmiDevice::KernelIpmiDevice(IpmiDeviceCalls& calls, int timeoutMs) : calls_(calls), timeoutMs_(timeoutMs) {}

KernelIpmiDevice::~KernelIpmiDevice() { Close(); }

KernelIpmiResult KernelIpmiDevice::Open() {
  Close();
  for (const char* path : kKernelIpmiDeviceNodes) {
    const int fd = calls_.Open(path);
    if (fd == -ENOENT) continue;
    if (fd < 0) return OpenFailure(path, -fd);
    fd_ = fd;
    path_ = path;
    return {};
  }
  return Failure(KernelIpmiFailure::kNoDevice,
                 Format("Error: no IPMI device (%s, %s, %s): %s.", kKernelIpmiDeviceNodes[0], kKernelIpmiDeviceNodes[1],
                        kKernelIpmiDeviceNodes[2], kLoadDriver));
}

KernelIpmiResult KernelIpmiDevice::Open(const char* path) {
  Close();
  const int fd = calls_.Open(path);
  if (fd < 0) return OpenFailure(path, -fd);
  fd_ = fd;
  path_ = path;
  return {};
}

void KernelIpmiDevice::Close() {
  if (fd_ < 0) return;
  calls_.Close(fd_);
  fd_ = -1;
  path_.clear();
}

bool KernelIpmiDevice::EarlierAnswered() {
  // Whatever the driver has queued is taken now, without waiting: the late
  // response frees the interface, anything else is dropped.
  uint8_t message[kKernelIpmiMaxMessage];
  while (calls_.Poll(fd_, 0) > 0) {
    const Received received = ReceiveOne(calls_, fd_, message);
    if (received.result == -EINTR) continue;
    if (received.result < 0) break;
    if (received.recvType == IPMI_RESPONSE_RECV_TYPE && received.msgid == unanswered_) unanswered_ = 0;
  }
  return unanswered_ == 0;
}

KernelIpmiResult KernelIpmiDevice::Transfer(uint8_t netFn, uint8_t cmd, std::span<const uint8_t> data,
                                            std::span<uint8_t> response) {
  if (fd_ < 0) {
    KernelIpmiResult opened = Open();
    if (!opened.Ok()) return opened;
  }
  const std::string what = Format("NetFn %02Xh command %02Xh", netFn, cmd);
  if (unanswered_ != 0 && !EarlierAnswered()) {
    return Failure(KernelIpmiFailure::kEarlierUnanswered,
                   Format("Error: %s not sent: the BMC has not answered an earlier request, which the kernel's IPMI "
                          "driver still holds.",
                          what.c_str()));
  }
  if (data.size() > kKernelIpmiMaxMessage - 2) {
    return Failure(KernelIpmiFailure::kMessageTooLong,
                   Format("Error: %s with %zu data bytes is longer than the kernel's IPMI driver takes (%zu).",
                          what.c_str(), data.size(), kKernelIpmiMaxMessage - 2));
  }

  ipmi_system_interface_addr bmc{};
  bmc.addr_type = IPMI_SYSTEM_INTERFACE_ADDR_TYPE;
  bmc.channel = IPMI_BMC_CHANNEL;
  bmc.lun = 0;
  ipmi_req request{};
  request.addr = reinterpret_cast<unsigned char*>(&bmc);
  request.addr_len = sizeof bmc;
  request.msgid = ++nextMsgId_;
  request.msg.netfn = netFn;
  request.msg.cmd = cmd;
  request.msg.data_len = static_cast<unsigned short>(data.size());
  // The driver only reads the request data.
  request.msg.data = const_cast<unsigned char*>(data.data());

  const int64_t deadline = calls_.NowMs() + timeoutMs_;
  const auto timedOut = [&] {
    unanswered_ = request.msgid;
    return Failure(KernelIpmiFailure::kTimedOut, Format("Error: no response from the BMC to %s within %s.",
                                                        what.c_str(), Duration(timeoutMs_).c_str()));
  };

  for (;;) {
    int sent = calls_.Ioctl(fd_, IPMICTL_SEND_COMMAND, &request);
    if (sent >= 0) break;
    if (sent == -EINTR) {
      if (calls_.NowMs() >= deadline) return timedOut();
      continue;
    }
    if (sent == -EBUSY) {
      return Failure(KernelIpmiFailure::kBusy,
                     "Error: the kernel's IPMI driver is busy (too many requests outstanding, or the BMC is "
                     "restarting); try again later.");
    }
    if (sent == -EMSGSIZE) {
      return Failure(KernelIpmiFailure::kMessageTooLong,
                     Format("Error: %s with %zu data bytes is longer than the kernel's IPMI driver takes.",
                            what.c_str(), data.size()));
    }
    return Failure(KernelIpmiFailure::kSystemError,
                   Format("Error: the kernel's IPMI driver refused %s: %s.", what.c_str(), std::strerror(-sent)));
  }

  uint8_t message[kKernelIpmiMaxMessage];
  for (;;) {
    const int64_t remaining = std::clamp<int64_t>(deadline - calls_.NowMs(), 0, std::numeric_limits<int>::max());
    const int ready = calls_.Poll(fd_, static_cast<int>(remaining));
    if (ready < 0 && ready != -EINTR) {
      return Failure(KernelIpmiFailure::kSystemError,
                     Format("Error: waiting for the response to %s failed: %s.", what.c_str(), std::strerror(-ready)));
    }
    if (ready > 0) {
      const Received received = ReceiveOne(calls_, fd_, message);
      const int got = received.result;
      if (got < 0 && got != -EAGAIN && got != -EINTR) {
        return Failure(KernelIpmiFailure::kSystemError,
                       Format("Error: receiving the response to %s failed: %s.", what.c_str(), std::strerror(-got)));
      }
      if (got >= 0) {
        // Events, commands from elsewhere, and late responses to requests given
        // up on are dropped; the queue holds finitely many, so look again at once.
        if (received.recvType != IPMI_RESPONSE_RECV_TYPE || received.msgid != request.msgid) continue;
        const size_t length = received.length;
        if (length == 0) {
          return Failure(KernelIpmiFailure::kNoCompletionCode,
                         Format("Error: the BMC's response to %s has no completion code.", what.c_str()));
        }
        if (length > response.size()) {
          return Failure(KernelIpmiFailure::kResponseTooLong,
                         Format("Error: the BMC's response to %s has %zu bytes; at most %zu expected.", what.c_str(),
                                length, response.size()));
        }
        std::copy_n(message, length, response.begin());
        KernelIpmiResult result;
        result.length = length;
        return result;
      }
    }
    if (calls_.NowMs() >= deadline) return timedOut();
  }
}
