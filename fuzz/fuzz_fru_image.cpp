// FRU images through the decode (with the listing printed), a field write of
// any field code under either command word, and the rebuild. The rebuilt image
// is checked: every checksum valid, and, when the image was decoded whole,
// decoding it again gives back every field the write did not set byte for
// byte, with the set field as written.
//
// Input: flags (bit 0: -fru1), the field code's row, the value, the size the
// BMC reports, then the FRU bytes.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fru/fru_access.hpp"
#include "fru/fru_build.hpp"
#include "fru/fru_display.hpp"
#include "fru/fru_model.hpp"
#include "fru/fru_write.hpp"
#include "fuzz/fuzz_input.hpp"
#include "fuzz/fuzz_platform.hpp"
#include "fuzz/fuzz_target.hpp"

namespace {

constexpr const char* kCodes[] = {"CT", "CP", "CS",  "BDT", "BM", "BPN", "BS", "BP",
                                  "PM", "PN", "PPM", "PV",  "PS", "PAT", "BV"};
constexpr unsigned kCodeCount = sizeof kCodes / sizeof kCodes[0];
constexpr size_t kValueLength = 80;

[[noreturn]] void Finding(const char* what) {
  std::fprintf(stderr, "fuzz: %s\n", what);
  std::abort();
}

bool SameField(const FruTextField& a, const FruTextField& b) {
  if (a.typeLength != b.typeLength) return false;
  return std::memcmp(a.text, b.text, a.typeLength & 0x3Fu) == 0;
}

bool SameCustom(const FruCustomBytes& a, const FruCustomBytes& b) {
  return a.count == b.count && std::memcmp(a.bytes, b.bytes, a.count) == 0;
}

// The decoded FRU, copied out of the run state.
struct Decoded {
  FruFieldSet store;
  std::vector<uint8_t> internalUse;
  std::vector<std::vector<uint8_t>> multiRecords;
};

Decoded Capture(const FruFieldSet& store) {
  Decoded d{store, std::vector<uint8_t>(store.internalUseBytes, store.internalUseBytes + store.internalUseLength), {}};
  for (size_t i = 0; i < store.multiRecordCount; ++i) {
    const uint8_t* entry = store.multiRecordTable[i];
    const size_t length = std::min<size_t>(kMultiRecordHeaderBytes + entry[2], kMultiRecordEntryBytes);
    d.multiRecords.emplace_back(entry, entry + length);
  }
  return d;
}

void CheckChecksums(const WriteImage& image) {
  const int32_t imageLength = image.length;
  const uint8_t* bytes = image.bytes;
  if (imageLength < 8 || imageLength > static_cast<int32_t>(kWriteImageCapacity)) Finding("image length");
  uint8_t sum = 0;
  for (int i = 0; i < 8; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  if (sum != 0) Finding("header checksum");
  for (int area = 2; area <= 4; ++area) {  // chassis, board, product
    if (bytes[area] == 0) continue;
    const size_t start = bytes[area] * 8u;
    const size_t length = bytes[start + 1] * 8u;
    if (length == 0 || start + length > static_cast<size_t>(imageLength)) Finding("area extent");
    sum = 0;
    for (size_t i = 0; i < length; ++i) sum = static_cast<uint8_t>(sum + bytes[start + i]);
    if (sum != 0) Finding("area checksum");
  }
}

// Every field but the one written comes back as it was.
void CheckUnchanged(const Decoded& before, const Decoded& after, const char* code) {
  const std::string set = code;
  const FruFieldSet& a = before.store;
  const FruFieldSet& b = after.store;
  if (set != "CT" && a.chassisType != b.chassisType && a.hasChassis) Finding("chassis type changed");
  if (set != "BDT" && a.hasBoard && std::memcmp(a.boardDate, b.boardDate, kFruDateBytes) != 0) {
    Finding("board date changed");
  }
  const char* chassisCodes[] = {"CP", "CS"};
  for (size_t i = 0; i < kChassisFieldCount; ++i) {
    if (a.hasChassis && set != chassisCodes[i] && !SameField(a.chassis[i], b.chassis[i]))
      Finding("chassis field changed");
  }
  const char* boardCodes[] = {"BM", "BPN", "BS", "BP", "", "BV"};
  for (size_t i = 0; i < kBoardFieldCount; ++i) {
    if (a.hasBoard && set != boardCodes[i] && !SameField(a.board[i], b.board[i])) Finding("board field changed");
  }
  const char* productCodes[] = {"PM", "PN", "PPM", "PV", "PS", "PAT", ""};
  for (size_t i = 0; i < kProductFieldCount; ++i) {
    if (a.hasProduct && set != productCodes[i] && !SameField(a.product[i], b.product[i]))
      Finding("product field changed");
  }
  if (a.hasChassis && !SameCustom(a.chassisCustom, b.chassisCustom)) Finding("chassis custom bytes changed");
  if (a.hasBoard && !SameCustom(a.boardCustom, b.boardCustom)) Finding("board custom bytes changed");
  if (a.hasProduct && !SameCustom(a.productCustom, b.productCustom)) Finding("product custom bytes changed");
  // The internal use area keeps its bytes; an area placed after it starts on
  // the next 8-byte unit, so it may gain up to seven 00h pad bytes.
  if (a.hasInternalUse) {
    const std::vector<uint8_t>& was = before.internalUse;
    const std::vector<uint8_t>& now = after.internalUse;
    if (now.size() < was.size() || now.size() - was.size() >= 8 || !std::equal(was.begin(), was.end(), now.begin()) ||
        std::any_of(now.begin() + static_cast<long>(was.size()), now.end(), [](uint8_t b) { return b != 0; })) {
      Finding("internal use area changed");
    }
  }
  if (a.hasMultiRecord && before.multiRecords != after.multiRecords) Finding("multirecords changed");
}

std::vector<fuzz::Input> Seeds() {
  std::vector<fuzz::Input> seeds;
  for (const Scenario& scenario : fuzz::TestScenarios()) {
    for (const auto& device : scenario.state.fru.devices) {
      for (unsigned code = 0; code < kCodeCount; code += 4) {
        fuzz::Input input = {static_cast<uint8_t>(device.id == 1 ? 1 : 0), static_cast<uint8_t>(code)};
        fuzz::AppendText(input, code == 0 ? "17" : code == 3 ? "201007161200" : "SRV-0001", kValueLength);
        input.push_back(static_cast<uint8_t>(device.image.size()));
        input.push_back(static_cast<uint8_t>(device.image.size() >> 8));
        input.insert(input.end(), device.image.begin(), device.image.end());
        seeds.push_back(input);
      }
    }
  }
  return seeds;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::WriteSeedsIfAsked(Seeds);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const bool fru1 = input.Flag();
  const char* code = kCodes[input.Below(kCodeCount)];
  const std::string value = input.Text(kValueLength);
  const uint16_t reportedSize = input.Word();
  const std::vector<uint8_t> image = input.Rest();

  fuzz::Machine machine;
  auto fru = std::make_unique<FruSession>();  // a fresh run's
  fuzz::RunCore(machine, [&] {
    // The FRU as a read of the reported size would leave it.
    fru->inventoryInfo = {reportedSize, kFruAccessByBytes};
    fru->image.size = reportedSize;
    if (!image.empty()) std::memcpy(fru->image.bytes, image.data(), std::min(image.size(), kFruImageCapacity));
    fru->image.shortReply = image.size() < std::min<size_t>(reportedSize, kFruImageCapacity);

    DecodeFruImage(fru->image, fru1, &fru->fieldStore);
    PrintFruListing(fru->fieldStore, fru1);
    if (RefuseFruValue(code, value.c_str(), fru1)) return 0;
    const bool whole = fru->fieldStore.fault == FruModelFault::None;
    const Decoded before = Capture(fru->fieldStore);
    SetFruFieldValue(fru->fieldStore, code, value.c_str());
    if (!whole || !BuildFruImage(fru->fieldStore, fru1, &fru->writeImage)) return 0;
    CheckChecksums(fru->writeImage);
    if (fru->writeImage.length > static_cast<int32_t>(kFruImageCapacity)) return 0;

    // Decode what would be written, as the next read of the FRU would.
    const int32_t length = fru->writeImage.length;
    std::memset(fru->image.bytes, 0, sizeof fru->image.bytes);
    std::memcpy(fru->image.bytes, fru->writeImage.bytes, static_cast<size_t>(length));
    fru->image.size = length;
    fru->image.shortReply = false;
    DecodeFruImage(fru->image, fru1, &fru->fieldStore);
    if (fru->fieldStore.fault != FruModelFault::None) Finding("the rebuilt image does not decode whole");
    CheckUnchanged(before, Capture(fru->fieldStore), code);
    return 0;
  });
  return 0;
}
