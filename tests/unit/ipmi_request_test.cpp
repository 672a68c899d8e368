// IpmiRequest: framing, completion code and data split, failure paths.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controller/controller_commands.hpp"
#include "platform/host/host_session.hpp"
#include "transport/ipmi.hpp"
#include "transport/ipmi_defs.hpp"
#include "transport/kcs.hpp"

namespace {

class IpmiRequestTest : public ::testing::Test {
 protected:
  void Start(const Scenario& scenario = DefaultScenario()) {
    bmc_ = std::make_unique<SimulatedBmc>(scenario);
    bmc_->Attach(false);
    CaptureConsole(&console_);
  }
  void TearDown() override {
    CaptureConsole(nullptr);
    SelectPortDriver(nullptr);
  }
  std::vector<std::string> Requests() const {
    std::vector<std::string> texts;
    for (const IpmiMessage& m : bmc_->Model().RequestLog()) texts.push_back(RequestText(m));
    return texts;
  }
  static Scenario Answering(std::vector<uint8_t> frame) {
    Scenario scenario = DefaultScenario();
    scenario.kcs.responseFrame = std::move(frame);
    return scenario;
  }

  void FillSentinel() { std::fill(std::begin(resp_), std::end(resp_), uint8_t{0xEE}); }

  std::unique_ptr<SimulatedBmc> bmc_;
  std::string console_;
  uint8_t resp_[256];
  uint32_t count_ = 0xDEAD;
};

TEST_F(IpmiRequestTest, FramesNetFnCommandAndData) {
  struct Case {
    uint8_t netFn;
    uint8_t cmd;
    std::vector<uint8_t> data;
    std::vector<std::string> trace;  // the write phase as the ports saw it
  };
  // clang-format off
  const Case cases[] = {
      {0x06, 0x01, {}, {"W CA3 61", "W CA2 18", "W CA3 62", "W CA2 01"}},
      {0x0C, 0x02, {0x01, 0x03, 0x00, 0x00}, {"W CA3 61", "W CA2 30", "W CA2 02", "W CA2 01", "W CA2 03", "W CA2 00", "W CA3 62", "W CA2 00"}},
      // The network function is shifted within one byte: 46h loses its top bits.
      {0x46, 0x01, {}, {"W CA3 61", "W CA2 18", "W CA3 62", "W CA2 01"}},
      {0x3F, 0xFF, {0xFF}, {"W CA3 61", "W CA2 FC", "W CA2 FF", "W CA3 62", "W CA2 FF"}},
  };
  // clang-format on
  for (const Case& c : cases) {
    Start();
    IpmiRequest(kBmcSlaveAddress, c.netFn, c.cmd, c.data, resp_, &count_);
    const auto& trace = bmc_->Kcs().PortTrace();
    EXPECT_EQ(std::vector<std::string>(trace.begin(), trace.begin() + static_cast<long>(c.trace.size())), c.trace);
  }
}

TEST_F(IpmiRequestTest, SplitsCompletionCodeAndData) {
  Start();
  const uint8_t cc = IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetDeviceId, {}, resp_, &count_);
  EXPECT_EQ(cc, kCcSuccess);
  const auto expected = DefaultScenario().state.deviceId;
  ASSERT_EQ(count_, expected.size());
  EXPECT_EQ(std::vector<uint8_t>(resp_, resp_ + count_), expected);
  EXPECT_EQ(Requests(), (std::vector<std::string>{"06 01"}));
}

TEST_F(IpmiRequestTest, CompletionCodeWithoutDataLeavesTheBufferAlone) {
  for (uint8_t code : {uint8_t{0x00}, uint8_t{0xC1}, uint8_t{0x03}}) {
    Start(Answering({0x1C, 0x01, code}));
    resp_[0] = 0x77;
    EXPECT_EQ(IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetDeviceId, {}, resp_, &count_), code);
    EXPECT_EQ(count_, 0u);
    EXPECT_EQ(resp_[0], 0x77);
  }
}

TEST_F(IpmiRequestTest, DataAreDeliveredWhateverTheCompletionCode) {
  Start(Answering({0x1C, 0x01, 0xD5, 0x12, 0x34}));
  EXPECT_EQ(IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetDeviceId, {}, resp_, &count_), 0xD5);
  ASSERT_EQ(count_, 2u);
  EXPECT_EQ(resp_[0], 0x12);
  EXPECT_EQ(resp_[1], 0x34);
}

TEST_F(IpmiRequestTest, LongestResponseFillsHundredNinetySevenBytes) {
  std::vector<uint8_t> frame(kKcsReceiveBufferSize, 0xA5);
  frame[0] = 0x1C;
  frame[1] = 0x01;
  frame[2] = 0x00;
  Start(Answering(frame));
  FillSentinel();
  EXPECT_EQ(IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetDeviceId, {}, resp_, &count_), 0x00);
  EXPECT_EQ(count_, kMaxResponseData);
  EXPECT_EQ(resp_[kMaxResponseData - 1], 0xA5);
  EXPECT_EQ(resp_[kMaxResponseData], 0xEE);  // nothing written past the data
}

TEST_F(IpmiRequestTest, TransferFailureReturns03AndTouchesNothing) {
  Scenario scenario = DefaultScenario();
  scenario.kcs.obfNeverSet = true;
  Start(scenario);
  FillSentinel();
  count_ = 12345;
  EXPECT_EQ(IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetDeviceId, {}, resp_, &count_), kCcTransferFailed);
  EXPECT_EQ(count_, 12345u);
  EXPECT_EQ(resp_[0], 0xEE);
  EXPECT_EQ(console_, "Error: time out.\n");
}

TEST_F(IpmiRequestTest, NoPortAccessIsATransferFailure) {
  Start();
  SelectPortDriver(nullptr);
  count_ = 7;
  EXPECT_EQ(IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetDeviceId, {}, resp_, &count_), kCcTransferFailed);
  EXPECT_EQ(count_, 7u);
  EXPECT_EQ(console_, "Error: No BMC is attached to the KCS ports.\n");
  EXPECT_TRUE(bmc_->Kcs().PortTrace().empty());
}

TEST_F(IpmiRequestTest, AtMostHundredTenDataBytes) {
  std::vector<uint8_t> data(111, 0x42);
  Start();
  EXPECT_EQ(IpmiRequest(kBmcSlaveAddress, kNetFnApp, 0x52, std::span(data.data(), 110), resp_, &count_),
            kCcInvalidCommand);
  ASSERT_EQ(Requests().size(), 1u);
  EXPECT_EQ(bmc_->Model().RequestLog()[0].data.size(), 110u);

  Start();
  EXPECT_EQ(IpmiRequest(kBmcSlaveAddress, kNetFnApp, 0x52, data, resp_, &count_), kCcRequestDataLengthInvalid);
  EXPECT_TRUE(bmc_->Kcs().PortTrace().empty());
}

// The caller's room bounds what a response may deliver: exactly the room
// completes, one byte more is refused without touching the caller's buffers.
TEST_F(IpmiRequestTest, ResponseLongerThanTheCallersRoomIsRefused) {
  struct Case {
    size_t room;
    size_t dataBytes;
    bool delivered;
  };
  const Case cases[] = {{4, 4, true}, {4, 5, false}, {0, 0, true}, {0, 1, false}, {16, 197, false}, {197, 197, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "room " << c.room << ", data " << c.dataBytes);
    std::vector<uint8_t> frame = {0x1C, 0x01, 0x00};
    for (size_t i = 0; i < c.dataBytes; ++i) frame.push_back(static_cast<uint8_t>(i + 1));
    Start(Answering(frame));
    console_.clear();
    FillSentinel();
    count_ = 0xDEAD;
    const uint8_t cc = IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetDeviceId, {}, std::span(resp_, c.room), &count_);
    if (c.delivered) {
      EXPECT_EQ(cc, kCcSuccess);
      EXPECT_EQ(count_, c.dataBytes);
      EXPECT_EQ(console_, "");
    } else {
      EXPECT_EQ(cc, kCcTransferFailed);
      EXPECT_EQ(count_, 0xDEADu);
      EXPECT_EQ(console_, "Error: IPMI response longer than expected (" + std::to_string(c.dataBytes) +
                              " data bytes, room for " + std::to_string(c.room) + ").\n");
    }
    EXPECT_EQ(resp_[c.room], 0xEE) << "written past the caller's room";
    if (!c.delivered && c.room > 0) EXPECT_EQ(resp_[0], 0xEE);
  }
}

TEST_F(IpmiRequestTest, CommandReportsOnlyTheCompletionCode) {
  Start(Answering({0x1C, 0x01, 0xC9, 0x01, 0x02}));
  const uint8_t data[] = {0x07};
  EXPECT_EQ(IpmiCommand(kNetFnApp, kCmdGetDeviceId, data), 0xC9);
  EXPECT_EQ(Requests(), std::vector<std::string>{"06 01 07"});
}

}  // namespace

namespace {

// Whatever the BMC sends back, a request either completes with exactly the bytes
// after the completion code, or fails with 03h leaving the caller's buffers alone;
// nothing is ever written past the 197 data bytes.
TEST(IpmiRequestAnyResponse, CompletesExactlyOrFailsCleanly) {
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % bound;
  };
  for (int round = 0; round < 600; ++round) {
    Scenario scenario = DefaultScenario();
    std::vector<uint8_t> frame(next(260));
    for (uint8_t& byte : frame) byte = static_cast<uint8_t>(next(256));
    // A response's NetFn/LUN is never 00h (response network functions are odd);
    // 00h bytes before it are padding the BMC offers on its own.
    if (!frame.empty() && frame[0] == 0x00) frame[0] = 0x1C;
    scenario.kcs.responseFrame = frame;
    scenario.kcs.leadingZeroBytes = next(3);
    scenario.kcs.ibfHoldReads = next(4) == 0 ? next(60) : 0;
    SimulatedBmc bmc(scenario);
    bmc.Attach(false);
    std::string console;
    CaptureConsole(&console);
    uint8_t response[kMaxResponseData + 16];
    std::fill(std::begin(response), std::end(response), uint8_t{0xEE});
    uint32_t count = 0xDEAD;
    const uint8_t cc = IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetDeviceId, {}, response, &count);
    CaptureConsole(nullptr);
    SelectPortDriver(nullptr);

    SCOPED_TRACE(round);
    const std::vector<uint8_t>& delivered = frame;
    const bool fits = delivered.size() >= 3 && delivered.size() <= kKcsReceiveBufferSize;
    const bool ibfOk = scenario.kcs.ibfHoldReads < 50;
    if (fits && ibfOk) {
      ASSERT_EQ(cc, delivered[2]) << console;
      ASSERT_EQ(count, delivered.size() - 3);
      EXPECT_TRUE(std::equal(delivered.begin() + 3, delivered.end(), response));
    } else {
      ASSERT_EQ(cc, kCcTransferFailed);
      EXPECT_EQ(count, 0xDEADu);
      EXPECT_EQ(response[0], 0xEE);
      EXPECT_EQ(console.rfind("Error: ", 0), 0u) << console;
    }
    EXPECT_EQ(response[kMaxResponseData], 0xEE);
  }
}

}  // namespace
