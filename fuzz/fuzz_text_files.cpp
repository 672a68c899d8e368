// The files a technician's medium brings: SmbiosTemplate.cfg through the FRU
// update from SMBIOS tables, restore files through -fru restore, and
// fru_source_index through every FRU command that reads it; the BMC's
// answers may be bent further (scripted_bmc.hpp).
//
// Input: the command (mode, -fru1, update code), fru_source_index (none when
// empty), the file's bytes, then one choice per request.
#include <string>
#include <vector>

#include "fru/smbios_update.hpp"
#include "fuzz/fuzz_input.hpp"
#include "fuzz/fuzz_platform.hpp"
#include "fuzz/fuzz_target.hpp"

namespace {

enum Mode : uint8_t { kUpdateFromSmbios, kRestore, kList, kModes };
constexpr size_t kMaxFileBytes = 9000;
constexpr char kRestoreFile[] = "fru.bin";
constexpr unsigned kSelectorCount = sizeof kSmbiosSelectors / sizeof kSmbiosSelectors[0];

std::vector<fuzz::Input> Seeds() {
  const std::string templateText =
      "[ Type 1 ]:1;\nManufacturer=Tolvane Systems;\nProductName=TV-1000 Server;\nVersion=1.0a;\n"
      "SerialNumber=SYS-SN-0001;\n\n[ Type 2 ]:1;\nManufacturer=Board Maker;\nProduct=BRD-2;\nVersion=B2.0;\n"
      "SerialNumber=BRD-SN-0002;\n\n[ Type 3 ]:1;\nManufacturer=Chassis Maker;\nVersion=C3;\nSerialNumber=CH-SN;\n";
  std::vector<fuzz::Input> seeds;
  for (uint8_t selector = 0; selector < kSelectorCount; ++selector) {
    fuzz::Input input = {kUpdateFromSmbios, 0, selector};
    fuzz::AppendText(input, "", 16);
    fuzz::AppendText(input, templateText, kMaxFileBytes);
    seeds.push_back(input);
  }
  for (const Scenario& scenario : fuzz::TestScenarios()) {
    for (const auto& device : scenario.state.fru.devices) {
      fuzz::Input input = {kRestore, static_cast<uint8_t>(device.id), 0};
      fuzz::AppendText(input, "1", 16);
      fuzz::AppendField(input, device.image, kMaxFileBytes);
      seeds.push_back(input);
    }
  }
  fuzz::Input list = {kList, 0, 0};
  fuzz::AppendText(list, "1\n", 16);
  seeds.push_back(list);
  return seeds;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::WriteSeedsIfAsked(Seeds);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const Mode mode = static_cast<Mode>(input.Below(kModes));
  const bool fru1 = input.Flag();
  const char* selector = kSmbiosSelectors[input.Below(kSelectorCount)].code;
  const std::vector<uint8_t> sourceIndex = input.Bytes(16);
  const fuzz::FileBytes file = fuzz::Bytes(input.Bytes(kMaxFileBytes));

  fuzz::Machine machine;
  if (!sourceIndex.empty()) machine.files["fru_source_index"] = fuzz::Bytes(sourceIndex);
  std::vector<std::string> arguments = {fru1 ? "-fru1" : "-fru"};
  switch (mode) {
    case kUpdateFromSmbios:
      arguments.push_back(selector);
      // The dump leaves the input's template (a stale one is deleted first).
      machine.files["SmbiosTemplate.cfg"] = fuzz::Bytes({'s', 't', 'a', 'l', 'e'});
      machine.shell = [&file](const char*, fuzz::FileSystem& files) {
        files["SmbiosTemplate.cfg"] = file;
        return 0;
      };
      break;
    case kRestore:
      arguments.push_back("restore");
      arguments.push_back(kRestoreFile);
      machine.files[kRestoreFile] = file;
      break;
    default:
      arguments.push_back("list");
      break;
  }
  fuzz::RunTool(machine, fuzz::DefaultBmc(), input, arguments);
  return 0;
}
