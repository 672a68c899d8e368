// The kernel's IPMI device against a stand-in driver: what it sends, which
// messages it takes as the response, and how each failure is reported. The
// stand-in's clock moves only when a poll waits, so time-outs pass instantly.
#include "platform/host/kernel_ipmi.hpp"

#include <gtest/gtest.h>
#include <linux/ipmi.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace {

// One thing the driver's queue for this user holds, in order.
struct Queued {
  int64_t atMs;                // when it arrives (ms after the request is sent)
  std::vector<uint8_t> bytes;  // completion code, data
  long msgidOffset = 0;        // against the msgid of the request sent last
  int recvType = IPMI_RESPONSE_RECV_TYPE;
  int receiveError = 0;  // the receive fails with this instead
  int pollError = 0;     // the poll fails with this instead
};

class FakeDriver : public IpmiDeviceCalls {
 public:
  std::map<std::string, int> nodes = {{"/dev/ipmi0", 3}};  // path -> fd or -errno; absent: ENOENT
  std::vector<int> sendErrors;                             // the next sends fail with these
  std::deque<Queued> queue;
  int64_t now = 50'000;
  ipmi_system_interface_addr lastAddress{};
  ipmi_msg lastMessage{};
  std::vector<uint8_t> lastData;
  std::vector<long> msgids;

  int Open(const char* path) override {
    auto node = nodes.find(path);
    return node == nodes.end() ? -ENOENT : node->second;
  }
  int Poll(int, int timeoutMs) override {
    if (queue.empty() || queue.front().atMs > now + timeoutMs) {
      now += timeoutMs;
      return 0;
    }
    now = std::max(now, queue.front().atMs);
    if (int error = queue.front().pollError) {
      queue.pop_front();
      return -error;
    }
    return 1;
  }
  int Ioctl(int, unsigned long request, void* arg) override {
    if (request == IPMICTL_SEND_COMMAND) return Send(*static_cast<ipmi_req*>(arg));
    if (request == IPMICTL_RECEIVE_MSG_TRUNC) return Receive(*static_cast<ipmi_recv*>(arg));
    ADD_FAILURE() << "unexpected ioctl " << std::hex << request;
    return -EINVAL;
  }
  void Close(int) override {}
  int64_t NowMs() override { return now; }

  // Arrival times relative to now.
  void Expect(std::vector<Queued> messages) {
    for (Queued& message : messages) message.atMs += now;
    queue.assign(messages.begin(), messages.end());
  }

 private:
  int Send(const ipmi_req& request) {
    if (!sendErrors.empty()) {
      int error = sendErrors.front();
      sendErrors.erase(sendErrors.begin());
      return -error;
    }
    EXPECT_EQ(request.addr_len, sizeof lastAddress);
    std::copy_n(request.addr, sizeof lastAddress, reinterpret_cast<unsigned char*>(&lastAddress));
    lastMessage = request.msg;
    lastData.assign(request.msg.data, request.msg.data + request.msg.data_len);
    msgids.push_back(request.msgid);
    return 0;
  }
  int Receive(ipmi_recv& received) {
    if (queue.empty() || queue.front().atMs > now) return -EAGAIN;
    Queued message = queue.front();
    queue.pop_front();
    if (message.receiveError != 0) return -message.receiveError;
    EXPECT_GE(received.msg.data_len, message.bytes.size());
    received.recv_type = message.recvType;
    received.msgid = msgids.back() + message.msgidOffset;
    std::copy(message.bytes.begin(), message.bytes.end(), received.msg.data);
    received.msg.data_len = static_cast<unsigned short>(message.bytes.size());
    return 0;
  }
};

TEST(KernelIpmiDevice, TransferTakesOnlyItsOwnResponseInTime) {
  struct Case {
    const char* name;
    std::vector<Queued> queue;
    KernelIpmiFailure failure;
    const char* reasonPart = "";  // or, on success, nothing
    std::vector<int> sendErrors = {};
    size_t dataBytes = 2;
    int timeoutMs = kKernelIpmiDefaultTimeoutMs;
  };
  const std::vector<uint8_t> answer = {0x00, 0x20, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06};  // fills the buffer
  using enum KernelIpmiFailure;
  const Case cases[] = {
      {"late answer to an earlier request, then this one", {{5, {0x00, 0xAA}, -1}, {6, answer}}, kNone},
      {"an event, then the response", {{5, {0x00}, 0, IPMI_ASYNC_EVENT_RECV_TYPE}, {6, answer}}, kNone},
      {"nothing to receive yet, then the response", {{5, {}, 0, 1, EAGAIN}, {7, answer}}, kNone},
      {"poll interrupted", {{5, {}, 0, 1, 0, EINTR}, {6, answer}}, kNone},
      {"send interrupted", {{5, answer}}, kNone, "", {EINTR}},
      {"response at the deadline", {{15'000, answer}}, kNone},
      {"response after the deadline", {{15'001, answer}}, kTimedOut, "within 15 s."},
      {"only answers to other requests", {{5, {0x00}, -1}, {9, {0x00}, +1}}, kTimedOut, "NetFn 0Ah command 40h"},
      {"a shorter time-out", {{1'501, answer}}, kTimedOut, "within 1500 ms.", {}, 2, 1'500},
      {"too many requests outstanding", {{5, answer}}, kBusy, "try again later", {EBUSY}},
      {"refused as too long by the driver", {{5, answer}}, kMessageTooLong, "2 data bytes", {EMSGSIZE}},
      {"other refusal", {{5, answer}}, kSystemError, "Invalid argument", {EINVAL}},
      {"receive fails", {{5, {}, 0, 1, EFAULT}}, kSystemError, "Bad address"},
      {"response without a completion code", {{5, {}}}, kNoCompletionCode, "no completion code"},
      {"response longer than the buffer", {{5, {0, 1, 2, 3, 4, 5, 6, 7, 8}}}, kResponseTooLong, "9 bytes"},
      {"the most data the driver takes", {{5, answer}}, kNone, "", {}, 270},
      {"one byte more", {}, kMessageTooLong, "271 data bytes", {}, 271},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDriver driver;
    driver.sendErrors = c.sendErrors;
    driver.Expect(c.queue);
    KernelIpmiDevice device(driver, c.timeoutMs);
    const std::vector<uint8_t> data(c.dataBytes, 0x5A);
    uint8_t buffer[8] = {};
    const KernelIpmiResult result = device.Transfer(0x0A, 0x40, data, buffer);
    EXPECT_EQ(result.failure, c.failure) << result.reason;
    if (c.failure == kNone) {
      EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + result.length), answer);
      EXPECT_EQ(driver.lastData, data);
    } else {
      EXPECT_EQ(result.reason.rfind("Error: ", 0), 0u) << result.reason;
      EXPECT_NE(result.reason.find(c.reasonPart), std::string::npos) << result.reason;
      EXPECT_EQ(result.reason.find('\n'), std::string::npos) << result.reason;
    }
  }
}

TEST(KernelIpmiDevice, EachRequestGoesToTheBmcWithAFreshMsgid) {
  FakeDriver driver;
  KernelIpmiDevice device(driver);
  uint8_t buffer[4];
  for (int request = 0; request < 2; ++request) {
    driver.Expect({{1, {0x00}}});
    ASSERT_TRUE(device.Transfer(0x06, 0x01, {}, buffer).Ok());
  }
  EXPECT_EQ(driver.lastAddress.addr_type, IPMI_SYSTEM_INTERFACE_ADDR_TYPE);
  EXPECT_EQ(driver.lastAddress.channel, IPMI_BMC_CHANNEL);
  EXPECT_EQ(driver.lastAddress.lun, 0);
  EXPECT_EQ(driver.lastMessage.netfn, 0x06);
  EXPECT_EQ(driver.lastMessage.cmd, 0x01);
  ASSERT_EQ(driver.msgids.size(), 2u);
  EXPECT_NE(driver.msgids[0], driver.msgids[1]);
}

// The driver keeps a request that timed out: nothing goes out behind it until
// its late response has come.
TEST(KernelIpmiDevice, NothingIsQueuedBehindARequestThatTimedOut) {
  FakeDriver driver;
  KernelIpmiDevice device(driver);
  uint8_t buffer[4];
  driver.Expect({});
  EXPECT_EQ(device.Transfer(0x06, 0x01, {}, buffer).failure, KernelIpmiFailure::kTimedOut);
  driver.Expect({{1, {0x00}}});  // not yet: the late response is still on its way
  const KernelIpmiResult refused = device.Transfer(0x06, 0x01, {}, buffer);
  EXPECT_EQ(refused.failure, KernelIpmiFailure::kEarlierUnanswered) << refused.reason;
  EXPECT_EQ(driver.msgids.size(), 1u);
  driver.Expect({{0, {0xFF}}, {1, {0x00, 0x42}}});  // the late response, then this request's
  const KernelIpmiResult result = device.Transfer(0x06, 0x01, {}, buffer);
  ASSERT_TRUE(result.Ok()) << result.reason;
  EXPECT_EQ(driver.msgids.size(), 2u);
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + result.length), (std::vector<uint8_t>{0x00, 0x42}));
}

TEST(KernelIpmiDevice, OpenTakesTheFirstNodeThatExists) {
  struct Case {
    const char* name;
    std::map<std::string, int> nodes;
    KernelIpmiFailure failure;
    const char* pathOrReasonPart;
  };
  using enum KernelIpmiFailure;
  const Case cases[] = {
      {"no node", {}, kNoDevice, "(modprobe ipmi_si ipmi_devintf)"},
      {"the second scheme", {{"/dev/ipmi/0", 4}, {"/dev/ipmidev/0", 5}}, kNone, "/dev/ipmi/0"},
      {"a node this user may not open",
       {{"/dev/ipmi0", -EACCES}, {"/dev/ipmi/0", 4}},
       kPermissionDenied,
       "/dev/ipmi0: permission denied"},
      {"a node with no interface behind it", {{"/dev/ipmi0", -ENXIO}}, kNoDevice, "modprobe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDriver driver;
    driver.nodes = c.nodes;
    KernelIpmiDevice device(driver);
    uint8_t buffer[4];
    // The first transfer opens the device.
    const KernelIpmiResult result = device.Transfer(0x06, 0x01, {}, buffer);
    if (c.failure == kNone) {
      EXPECT_EQ(device.Path(), c.pathOrReasonPart);
      EXPECT_EQ(result.failure, kTimedOut);
    } else {
      EXPECT_EQ(result.failure, c.failure);
      EXPECT_FALSE(device.IsOpen());
      EXPECT_NE(result.reason.find(c.pathOrReasonPart), std::string::npos) << result.reason;
    }
  }
}

TEST(KernelIpmiDevice, TimeoutVariableTakesWholeSeconds) {
  const std::pair<const char*, std::optional<int>> cases[] = {
      {"1", 1'000},       {"3600", 3'600'000},   {"3601", std::nullopt}, {"0", std::nullopt},
      {"", std::nullopt}, {"1.5", std::nullopt}, {"-5", std::nullopt},   {nullptr, std::nullopt},
  };
  for (const auto& [text, ms] : cases) EXPECT_EQ(ParseKernelIpmiTimeout(text), ms) << (text ? text : "(unset)");
}

}  // namespace
