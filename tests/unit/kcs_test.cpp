// KcsTransfer against the BMC side of the KCS registers, on the virtual clock.
#include "transport/kcs.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/host/host_session.hpp"
#include "platform/platform.hpp"

namespace {

constexpr uint64_t kByteWaitUs = 5000;  // fixed wait after every stored response byte

struct Transfer {
  int result = -1;
  std::vector<uint8_t> out;
  std::string console;
  std::vector<std::string> trace;
  uint64_t elapsedUs = 0;
  unsigned statusReads = 0;
  bool runaway = false;  // the guard had to end the transfer
};

// Ends a transfer that would otherwise never return: past this many data
// register reads the status register shows IDLE, so the test fails instead of
// hanging. No transfer here reads anywhere near as many bytes.
class RunawayGuard : public PortDriver {
 public:
  static constexpr unsigned kMaxDataReads = 100000;
  explicit RunawayGuard(PortDriver* bmc) : bmc_(bmc) {}
  uint8_t Read8(uint16_t port) override {
    if (port == kKcsStatusRegister && Tripped()) return 0x00;
    if (port == kKcsDataRegister) ++dataReads_;
    return bmc_->Read8(port);
  }
  void Write8(uint16_t port, uint8_t value) override { bmc_->Write8(port, value); }
  bool Tripped() const { return dataReads_ > kMaxDataReads; }

 private:
  PortDriver* bmc_;
  unsigned dataReads_ = 0;
};

Transfer RunTransfer(const std::vector<uint8_t>& request, const KcsFaults& faults = {}) {
  Scenario scenario = DefaultScenario();
  scenario.kcs = faults;
  SimulatedBmc bmc(scenario);
  bmc.Attach(/*sleepForReal=*/false);
  RunawayGuard guard(&bmc);
  SelectPortDriver(&guard);
  BindPortAccess();  // as IpmiRequest does before every transfer
  Transfer t;
  CaptureConsole(&t.console);
  uint8_t out[kKcsReceiveBufferSize];
  uint8_t count = 0xEE;
  const TransportFailure failure = KcsTransfer(request, out, &count);
  PrintTransportFailure({failure, 0, 0});  // as IpmiRequest does
  t.result = failure == TransportFailure::None ? 0 : 1;
  CaptureConsole(nullptr);
  if (t.result == 0) t.out.assign(out, out + count);
  t.trace = bmc.Kcs().PortTrace();
  t.elapsedUs = bmc.Clock().NowMicroseconds();
  t.statusReads = bmc.Kcs().Stats().statusReads;
  t.runaway = guard.Tripped();
  SelectPortDriver(nullptr);
  return t;
}

const std::vector<uint8_t> kGetDeviceId{0x18, 0x01};
std::vector<uint8_t> DeviceIdResponse() {
  std::vector<uint8_t> out{0x00};
  const auto id = DefaultScenario().state.deviceId;
  out.insert(out.end(), id.begin(), id.end());
  return out;
}

std::vector<std::string> Head(const std::vector<std::string>& trace, size_t n) {
  return {trace.begin(), trace.begin() + static_cast<long>(std::min(n, trace.size()))};
}

TEST(KcsTransfer, WritePhaseOrderForTwoAndThreeByteRequests) {
  EXPECT_EQ(Head(RunTransfer({0x18, 0x01}).trace, 4),
            (std::vector<std::string>{"W CA3 61", "W CA2 18", "W CA3 62", "W CA2 01"}));
  EXPECT_EQ(Head(RunTransfer({0x18, 0x37, 0xAA}).trace, 5),
            (std::vector<std::string>{"W CA3 61", "W CA2 18", "W CA2 37", "W CA3 62", "W CA2 AA"}));
}

TEST(KcsTransfer, ReadPhaseAcknowledgesEveryByteAndReadsTheIdleDummy) {
  KcsFaults faults;
  faults.responseFrame = std::vector<uint8_t>{0x1C, 0x01, 0x00};
  const Transfer t = RunTransfer(kGetDeviceId, faults);
  ASSERT_EQ(t.result, 0);
  EXPECT_EQ(t.out, (std::vector<uint8_t>{0x00}));
  const std::vector<std::string> readPhase(t.trace.begin() + 4, t.trace.end());
  EXPECT_EQ(readPhase, (std::vector<std::string>{"R CA2 1C", "W CA2 68", "R CA2 01", "W CA2 68", "R CA2 00", "W CA2 68",
                                                 "R CA2 00"}));
  EXPECT_EQ(t.elapsedUs, 3 * kByteWaitUs);
}

TEST(KcsTransfer, DeliversTheResponseAfterNetFnAndCommand) {
  const Transfer t = RunTransfer(kGetDeviceId);
  ASSERT_EQ(t.result, 0) << t.console;
  EXPECT_EQ(t.out, DeviceIdResponse());
  EXPECT_EQ(t.console, "");
  EXPECT_EQ(t.elapsedUs, (t.out.size() + 2) * kByteWaitUs);
}

// IBF may stay set for 49 status reads; the 50th set read ends the wait.
TEST(KcsTransfer, IbfWaitAllowsFortyNinePollsAndFailsOnTheFiftieth) {
  KcsFaults faults;
  faults.ibfHoldReads = 49;
  const Transfer slow = RunTransfer(kGetDeviceId, faults);
  ASSERT_EQ(slow.result, 0) << slow.console;
  EXPECT_EQ(slow.out, DeviceIdResponse());
  // Every write (WRITE_START, 2 request bytes, WRITE_END, one READ per byte of
  // the 18-byte response) is followed by 49 polls with 10 us between them.
  const uint64_t writes = 1 + 2 + 1 + 18;
  EXPECT_EQ(slow.elapsedUs, 18 * kByteWaitUs + writes * 49 * 10);

  faults.ibfHoldReads = 50;
  const Transfer stuck = RunTransfer(kGetDeviceId, faults);
  EXPECT_EQ(stuck.result, 1);
  EXPECT_EQ(stuck.console, "Error: It is timeout for IBF clear.\n");
  EXPECT_EQ(stuck.trace, (std::vector<std::string>{"W CA3 61"}));
  EXPECT_EQ(stuck.elapsedUs, 50u * 10);
  EXPECT_EQ(stuck.statusReads, 1u + 50u);  // one clear read before WRITE_START
}

TEST(KcsTransfer, StateChecksInEveryPhase) {
  struct Case {
    KcsPhase at;
    KcsStateCode state;
    const char* message;
    size_t portAccesses;  // how far the transfer got
  };
  const Case cases[] = {
      {KcsPhase::WriteStart, KcsStateCode::Error, "Error: KCS is under error state.\n", 1},
      {KcsPhase::WriteStart, KcsStateCode::Idle, "Error: KCS is not under write state.\n", 1},
      {KcsPhase::WriteStart, KcsStateCode::Read, "Error: KCS is not under write state.\n", 1},
      {KcsPhase::DataByte, KcsStateCode::Error, "Error: KCS is under error state.\n", 2},
      {KcsPhase::DataByte, KcsStateCode::Idle, "Error: KCS is not under write state.\n", 2},
      {KcsPhase::WriteEnd, KcsStateCode::Error, "Error: KCS is under error state.\n", 3},
      {KcsPhase::WriteEnd, KcsStateCode::Read, "Error: KCS is not under write state.\n", 3},
      {KcsPhase::ReadPhase, KcsStateCode::Error, "Error: KCS is under error state.\n", 4},
      {KcsPhase::ReadPhase, KcsStateCode::Write, "Error: KCS is not under read state.\n", 4},
  };
  for (const Case& c : cases) {
    KcsFaults faults;
    faults.forceStateAt = c.at;
    faults.forcedState = c.state;
    const Transfer t = RunTransfer(kGetDeviceId, faults);
    SCOPED_TRACE(static_cast<int>(c.at) * 10 + static_cast<int>(c.state));
    EXPECT_EQ(t.result, 1);
    EXPECT_EQ(t.console, c.message);
    EXPECT_EQ(t.trace.size(), c.portAccesses);
  }
}

TEST(KcsTransfer, TimesOutAfterAHundredWaitsWithoutAByte) {
  KcsFaults faults;
  faults.obfNeverSet = true;
  const Transfer t = RunTransfer(kGetDeviceId, faults);
  EXPECT_EQ(t.result, 1);
  EXPECT_EQ(t.console, "Error: time out.\n");
  EXPECT_EQ(t.elapsedUs, 100 * kByteWaitUs);
}

// Status reads and waits in the read phase: the first status read after the last
// request byte comes before any wait, so the first response byte may show at the
// 100th read after it (after 100 waits) and not later. A stored byte is always
// followed by one wait before the next status read, so the next byte may show at
// the 10th read after its predecessor's READ (after 10 waits, 9 of them extra).
TEST(KcsTransfer, ReadCountdownAllowsALateByteUpToItsLastWait) {
  constexpr uint64_t kResponseBytes = 18;  // NetFn/LUN, command, the Get Device ID reply
  const Transfer onTime = RunTransfer(kGetDeviceId);
  ASSERT_EQ(onTime.result, 0) << onTime.console;
  struct Case {
    unsigned afterByte;  // response bytes taken before the late one
    unsigned lateReads;  // status reads that still show OBF clear
    bool inTime;
  };
  const Case cases[] = {
      {0, 100, true}, {0, 101, false},                  // the first byte: 100 waits
      {1, 1, true},   {1, 9, true},    {1, 10, false},  // the second byte: 10 waits
      {17, 9, true},  {17, 10, false},                  // the last byte
      {18, 9, true},  {18, 10, false},                  // going idle after the last byte
  };
  for (const Case& c : cases) {
    KcsFaults faults;
    faults.obfLateReads = c.lateReads;
    faults.obfLateAfterByte = c.afterByte;
    const Transfer t = RunTransfer(kGetDeviceId, faults);
    SCOPED_TRACE("after byte " + std::to_string(c.afterByte) + ", late " + std::to_string(c.lateReads));
    if (c.inTime) {
      EXPECT_EQ(t.result, 0) << t.console;
      EXPECT_EQ(t.out, DeviceIdResponse());
      EXPECT_EQ(t.console, "");
      // One more status read and one more wait for every late read.
      EXPECT_EQ(t.statusReads, onTime.statusReads + c.lateReads);
      EXPECT_EQ(t.elapsedUs, (kResponseBytes + c.lateReads) * kByteWaitUs);
    } else {
      EXPECT_EQ(t.result, 1);
      EXPECT_EQ(t.console, "Error: time out.\n");
      const uint64_t waits = c.afterByte == 0 ? 100 : (c.afterByte - 1) + 10;
      EXPECT_EQ(t.elapsedUs, waits * kByteWaitUs);
      // Every byte taken was acknowledged; the late one was never read.
      EXPECT_EQ(t.trace.size(), 4 + 2 * size_t{c.afterByte});
    }
  }
}

TEST(KcsTransfer, LeadingZeroIsDroppedWithoutCountingAgainstTheWait) {
  KcsFaults faults;
  faults.leadingZeroBytes = 3;
  const Transfer t = RunTransfer(kGetDeviceId, faults);
  ASSERT_EQ(t.result, 0) << t.console;
  EXPECT_EQ(t.out, DeviceIdResponse());
  EXPECT_EQ(t.elapsedUs, 18 * kByteWaitUs + 3 * 1000);
  // The zeros are read but never acknowledged with READ.
  EXPECT_EQ(Head(std::vector<std::string>(t.trace.begin() + 4, t.trace.end()), 4),
            (std::vector<std::string>{"R CA2 00", "R CA2 00", "R CA2 00", "R CA2 1C"}));
}

// Dropped leading zeros have their own budget, the same 0.5 s as the first byte:
// 500 of them at 1000 us each. The 501st is read and ends the transfer.
TEST(KcsTransfer, LeadingZerosEndAfterHalfASecondOfThem) {
  constexpr uint64_t kZeroStallUs = 1000;
  const struct {
    unsigned zeros;
    bool inTime;
  } cases[] = {{499, true}, {500, true}, {501, false}, {~0u, false}};  // ~0u: 00h for ever
  for (const auto& c : cases) {
    KcsFaults faults;
    faults.leadingZeroBytes = c.zeros;
    const Transfer t = RunTransfer(kGetDeviceId, faults);
    SCOPED_TRACE(c.zeros);
    EXPECT_FALSE(t.runaway);
    ASSERT_GE(t.trace.size(), 4u);  // the write phase
    const std::vector<std::string> readPhase(t.trace.begin() + 4, t.trace.end());
    if (c.inTime) {
      EXPECT_EQ(t.result, 0) << t.console;
      EXPECT_EQ(t.out, DeviceIdResponse());
      EXPECT_EQ(t.elapsedUs, 18 * kByteWaitUs + c.zeros * kZeroStallUs);
      ASSERT_GT(readPhase.size(), c.zeros);
      EXPECT_EQ(readPhase[c.zeros], "R CA2 1C");
    } else {
      EXPECT_EQ(t.result, 1);
      EXPECT_EQ(t.console, "Error: time out.\n");
      EXPECT_EQ(t.elapsedUs, 500 * kZeroStallUs);
      EXPECT_EQ(readPhase, std::vector<std::string>(501, "R CA2 00"));  // never acknowledged
    }
  }
}

// The two budgets do not draw on each other: after 500 zeros the first byte still
// has its full 100 waits.
TEST(KcsTransfer, LeadingZerosLeaveTheFirstByteItsFullWait) {
  for (unsigned lateReads : {100u, 101u}) {
    KcsFaults faults;
    faults.leadingZeroBytes = 500;
    faults.obfLateReads = lateReads;
    faults.obfLateAfterByte = 0;
    const Transfer t = RunTransfer(kGetDeviceId, faults);
    SCOPED_TRACE(lateReads);
    if (lateReads == 100) {
      EXPECT_EQ(t.result, 0) << t.console;
      EXPECT_EQ(t.out, DeviceIdResponse());
      EXPECT_EQ(t.elapsedUs, 500 * 1000 + (100 + 18) * kByteWaitUs);
    } else {
      EXPECT_EQ(t.result, 1);
      EXPECT_EQ(t.console, "Error: time out.\n");
      EXPECT_EQ(t.elapsedUs, 500 * 1000 + 100 * kByteWaitUs);
    }
  }
}

TEST(KcsTransfer, ResponsesWithoutCompletionCodeFail) {
  const std::vector<std::vector<uint8_t>> frames{{}, {0x1C}, {0x1C, 0x01}};
  for (const auto& frame : frames) {
    KcsFaults faults;
    faults.responseFrame = frame;
    const Transfer t = RunTransfer(kGetDeviceId, faults);
    EXPECT_EQ(t.result, 1) << frame.size();
    EXPECT_EQ(t.console, "Error: KCS response without completion code.\n");
  }
  KcsFaults idle;
  idle.idleWithoutResponse = true;
  EXPECT_EQ(RunTransfer(kGetDeviceId, idle).console, "Error: KCS response without completion code.\n");
}

TEST(KcsTransfer, ResponseLengthBoundIsTheReceiveBuffer) {
  for (size_t length : {size_t{199}, size_t{200}, size_t{201}, size_t{300}}) {
    KcsFaults faults;
    std::vector<uint8_t> frame(length, 0x5A);
    frame[0] = 0x1C;
    frame[1] = 0x01;
    frame[2] = 0x00;
    faults.responseFrame = frame;
    const Transfer t = RunTransfer(kGetDeviceId, faults);
    SCOPED_TRACE(length);
    if (length <= kKcsReceiveBufferSize) {
      ASSERT_EQ(t.result, 0) << t.console;
      EXPECT_EQ(t.out, std::vector<uint8_t>(frame.begin() + 2, frame.end()));
    } else {
      EXPECT_EQ(t.result, 1);
      EXPECT_EQ(t.console, "Error: KCS response is longer than 200 bytes.\n");
    }
  }
}

TEST(KcsTransfer, NextTransferStartsAfreshAfterAFailure) {
  // The first transfer fails in the read phase; the second one is answered.
  Scenario scenario = DefaultScenario();
  scenario.kcs.onTransfer = 1;
  scenario.kcs.obfNeverSet = true;
  SimulatedBmc bmc(scenario);
  bmc.Attach(false);
  BindPortAccess();
  std::string console;
  CaptureConsole(&console);
  uint8_t out[kKcsReceiveBufferSize];
  uint8_t count = 0;
  const TransportFailure first = KcsTransfer(kGetDeviceId, out, &count);
  PrintTransportFailure({first, 0, 0});
  EXPECT_NE(first, TransportFailure::None);
  EXPECT_EQ(KcsTransfer(kGetDeviceId, out, &count), TransportFailure::None);
  CaptureConsole(nullptr);
  SelectPortDriver(nullptr);
  EXPECT_EQ(std::vector<uint8_t>(out, out + count), DeviceIdResponse());
  EXPECT_EQ(console, "Error: time out.\n");
}

}  // namespace
