// Reading the SDR repository into the record table, and the record fields the
// listings derive.
#include "sdr/sdr_repository.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/unit/sdr_bmc_test.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

// A record of the given ID and body length: header (ID, version 51h, type,
// length) and body bytes 1, 2, 3, ...
std::vector<uint8_t> Record(uint16_t id, uint8_t type, uint8_t bodyLength) {
  std::vector<uint8_t> record = {static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8), 0x51, type, bodyLength};
  for (uint8_t i = 1; i <= bodyLength; ++i) record.push_back(i);
  return record;
}

class SdrRepositoryTest : public SdrBmcTest {
 protected:
  static Scenario WithRecords(const std::vector<std::vector<uint8_t>>& records) {
    Scenario scenario = DefaultScenario();
    scenario.state.sdr.records = records;
    return scenario;
  }
  std::vector<std::string> Requests() const {
    std::vector<std::string> texts;
    for (const IpmiMessage& m : bmc_->Model().RequestLog()) texts.push_back(RequestText(m));
    return texts;
  }
  uint8_t Load() {
    uint8_t cc = GetSdrRepositoryInfo(*sdr_);
    if (cc == kCcSuccess) cc = ReserveSdrRepository(*sdr_);
    if (cc == kCcSuccess) cc = ReadSdrRecords(*sdr_);
    return cc;
  }
};

TEST_F(SdrRepositoryTest, ReadsEveryRecordChainedByTheNextRecordId) {
  std::vector<std::vector<uint8_t>> records;
  for (uint16_t id : {0x0001, 0x0002, 0x0010, 0x0011, 0x0100}) records.push_back(Record(id, 0x01, 43));
  Start(WithRecords(records));
  EXPECT_EQ(Load(), kCcSuccess);
  EXPECT_EQ(sdr_->recordCount, 5);
  EXPECT_EQ(Requests(), (std::vector<std::string>{"0A 20", "0A 22", "0A 23 01 00 00 00 00 FF",
                                                  "0A 23 01 00 02 00 00 FF", "0A 23 01 00 10 00 00 FF",
                                                  "0A 23 01 00 11 00 00 FF", "0A 23 01 00 00 01 00 FF"}));
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(std::vector<uint8_t>(sdr_->recordTable[i], sdr_->recordTable[i] + 48), records[i]) << i;
    EXPECT_EQ(sdr_->recordTable[i][48], 0) << "bytes past the record stay zero";
  }
  EXPECT_EQ(SdrRecordId(sdr_->recordTable[2]), 0x0010);
}

TEST_F(SdrRepositoryTest, EmptyRepositorySendsNoGetSdr) {
  Start(WithRecords({}));
  EXPECT_EQ(Load(), kCcSuccess);
  EXPECT_EQ(Requests(), (std::vector<std::string>{"0A 20", "0A 22"}));
  EXPECT_EQ(sdr_->VisibleRecordCount(), 0);
}

TEST_F(SdrRepositoryTest, WithoutReservationTheRequestsCarryZero) {
  Scenario scenario = WithRecords({Record(1, 0x01, 10)});
  scenario.completionCodes.push_back({0x0A, 0x22, {}, 0, 0xC1});
  Start(scenario);
  EXPECT_EQ(GetSdrRepositoryInfo(*sdr_), kCcSuccess);
  EXPECT_EQ(ReserveSdrRepository(*sdr_), 0xC1);
  EXPECT_EQ(ReadSdrRecords(*sdr_), kCcSuccess);
  EXPECT_EQ(Requests().back(), "0A 23 00 00 00 00 00 FF");
}

TEST_F(SdrRepositoryTest, AFailingGetSdrStopsTheLoopAndKeepsWhatWasRead) {
  Scenario scenario = WithRecords({Record(1, 0x01, 10), Record(2, 0x01, 10), Record(3, 0x01, 10), Record(4, 0x01, 10)});
  scenario.completionCodes.push_back({0x0A, 0x23, {}, 3, 0xC5});
  Start(scenario);
  EXPECT_EQ(Load(), 0xC5);
  EXPECT_EQ(Requests().size(), 5u);  // info, reserve, three Get SDR
  EXPECT_EQ(sdr_->recordTable[0][0], 1);
  EXPECT_EQ(sdr_->recordTable[1][0], 2);
  EXPECT_EQ(sdr_->recordTable[2][0], 0);
}

TEST_F(SdrRepositoryTest, ARecordOfOnlyTheNextIdLeavesItsSlotEmpty) {
  // The second Get SDR (the fourth transfer) answers the next record ID alone.
  Scenario scenario = WithRecords({Record(1, 0x01, 10), Record(2, 0x01, 10), Record(3, 0x01, 10)});
  scenario.kcs.onTransfer = 4;
  scenario.kcs.responseFrame = std::vector<uint8_t>{0x2C, 0x23, 0x00, 0x03, 0x00};
  Start(scenario);
  EXPECT_EQ(Load(), kCcSuccess);
  EXPECT_EQ(Requests().back(), "0A 23 01 00 03 00 00 FF");
  EXPECT_EQ(sdr_->recordTable[2][0], 3);
  EXPECT_EQ(sdr_->recordTable[0][0], 1);
  for (size_t i = 0; i < kSdrSlotSize; ++i) ASSERT_EQ(sdr_->recordTable[1][i], 0) << i;
}

TEST_F(SdrRepositoryTest, AReplyWithoutTheNextRecordIdCannotBeChained) {
  Scenario scenario = WithRecords({Record(1, 0x01, 10), Record(2, 0x01, 10)});
  scenario.kcs.onTransfer = 3;  // the first Get SDR
  scenario.kcs.responseFrame = std::vector<uint8_t>{0x2C, 0x23, 0x00, 0x02};
  Start(scenario);
  EXPECT_EQ(Load(), kCcResponseTooShort);
}

TEST_F(SdrRepositoryTest, NeverStoresPastTheTable) {
  std::vector<std::vector<uint8_t>> records;
  for (uint16_t id = 1; id <= kSdrSlotCount + 2; ++id) records.push_back(Record(id, 0x01, 20));
  Start(WithRecords(records));
  EXPECT_EQ(Load(), kCcSuccess);
  EXPECT_EQ(sdr_->recordCount, kSdrSlotCount + 2);
  EXPECT_EQ(sdr_->VisibleRecordCount(), kSdrSlotCount);
  EXPECT_EQ(Requests().size(), 2u + kSdrSlotCount);
  EXPECT_EQ(SdrRecordId(sdr_->recordTable[kSdrSlotCount - 1]), kSdrSlotCount);
}

TEST(SdrRecordFields, ConversionFactorsAreTwosComplement) {
  struct Case {
    uint8_t m, mHigh, b, bHigh, exponents;
    SdrFactors expected;
  };
  const Case cases[] = {
      {0x01, 0x00, 0x00, 0x00, 0x00, {1, 0, 0, 0}},         {0xFF, 0xC0, 0x00, 0x80, 0xF8, {-1, -512, -8, -1}},
      {0xFF, 0x40, 0xFF, 0x7F, 0x77, {511, 511, 7, 7}},  // bits 5:0 of the high bytes are not read
      {0x00, 0x80, 0x01, 0xC0, 0x8F, {-512, -255, -1, -8}}, {0x4B, 0x00, 0x00, 0x00, 0xD0, {75, 0, 0, -3}},
  };
  for (const Case& c : cases) {
    uint8_t record[kSdrSlotSize] = {};
    record[24] = c.m;
    record[25] = c.mHigh;
    record[26] = c.b;
    record[27] = c.bHigh;
    record[29] = c.exponents;
    const SdrFactors f = SdrConversionFactors(record);
    EXPECT_EQ(f.m, c.expected.m);
    EXPECT_EQ(f.b, c.expected.b);
    EXPECT_EQ(f.k1, c.expected.k1);
    EXPECT_EQ(f.k2, c.expected.k2);
  }
}

TEST(SdrRecordFields, SensorNameTakesTheLengthBitsWhateverTheType) {
  uint8_t record[kSdrSlotSize] = {};
  std::memcpy(record + 48, "CPU Temp and more text beyond the thirty-one", 44);
  struct Case {
    uint8_t typeLength;
    size_t size;
    std::string expected;
  };
  const Case cases[] = {
      {0xC5, kSdrSensorNameSize, "CPU T"},
      {0x00, kSdrSensorNameSize, ""},
      {0x08, kSdrSensorNameSize, "CPU Temp"},  // type bits 00b: still 8-bit text
      {0xDF, kSdrSensorNameSize, "CPU Temp and more text beyond t"},
      {0xDF, 4, "CPU"},                   // never past the caller's room
      {0xE3, kSdrSensorNameSize, "CPU"},  // bit 5 is not part of the length
  };
  for (const Case& c : cases) {
    record[47] = c.typeLength;
    char name[kSdrSensorNameSize + 1];
    std::memset(name, 'x', sizeof name);
    const size_t length = SdrSensorName(record, name, c.size);
    EXPECT_EQ(std::string(name), c.expected);
    EXPECT_EQ(length, c.expected.size());
    EXPECT_EQ(name[c.size], 'x');
  }
}

}  // namespace
