// The whole tool, one run per input: a command line built on a row of the
// command table, the files of the current directory, and a BMC whose answers
// and KCS interface the input bends (fuzz/scripted_bmc.hpp).
//
// Input: form, flags, extra argument count, the operand texts, the files the
// flags ask for, the System GUID if they ask for it, the KCS faults, then one
// choice per request the BMC answers.
#include <algorithm>
#include <climits>
#include <iterator>
#include <string>
#include <vector>

#include "app/dispatch.hpp"
#include "controller/controller_family.hpp"
#include "fuzz/fuzz_input.hpp"
#include "fuzz/fuzz_platform.hpp"
#include "fuzz/fuzz_target.hpp"
#include "fuzz/scripted_bmc.hpp"

namespace {

constexpr uint8_t kFru1Word = 0x01;      // a "-fru" row under "-fru1"
constexpr uint8_t kDropDataFile = 0x02;  // one event text data file missing
constexpr uint8_t kSourceIndex = 0x04;   // a fru_source_index file
constexpr uint8_t kOperandFile = 0x08;   // a file under the name of the file operand
constexpr uint8_t kTemplate = 0x10;      // the SMBIOS dump leaves a template
constexpr uint8_t kNoPortAccess = 0x20;  // no PCI Root Bridge I/O protocol
constexpr uint8_t kSystemGuid = 0x40;    // the BMC's System GUID from the input
constexpr size_t kGuidLength = 16;
constexpr unsigned kMaxExtraArguments = 120;
constexpr size_t kOperandLength = 80;

// Seeds for controller families other than the default BMC's: a System GUID
// that names each family of the table (its prefix, or each of its family
// characters before the marker).
std::vector<std::vector<uint8_t>> FamilyGuidSeeds() {
  std::vector<std::vector<uint8_t>> guids;
  for (unsigned bmcType = 0; bmcType <= UINT8_MAX; ++bmcType) {
    const ControllerFamily* family = FindControllerFamily(static_cast<uint8_t>(bmcType));
    if (family == nullptr) continue;
    const GuidPattern& pattern = family->guid;
    if (pattern.prefixLength != 0) guids.emplace_back(pattern.prefix, pattern.prefix + pattern.prefixLength);
    for (const char* character = pattern.familyCharacters; *character != '\0'; ++character) {
      std::vector<uint8_t> guid = {static_cast<uint8_t>(*character)};
      guid.insert(guid.end(), std::begin(kGuidFamilyMarker), std::end(kGuidFamilyMarker));
      guids.push_back(guid);
    }
  }
  return guids;
}

// The argument positions (from the command word) whose text comes from the
// input: all but an exact sub-word.
bool FixedSubWord(const CommandForm& form, int position) { return position == 1 && form.subWord.exact != nullptr; }

// How many arguments after the command word a run on the form gets.
int CountOfArguments(const CommandForm& form, unsigned extra) {
  const long span = static_cast<long>(form.arguments.max) - form.arguments.min;
  return form.arguments.min + static_cast<int>(std::min<long>(extra, std::min<long>(span, kMaxExtraArguments)));
}

// A plausible operand for a seed, by what the form reads at that position.
std::string SeedOperand(const CommandForm& form, int position) {
  for (const OperandAt& operand : form.operands) {
    if (operand.kind == OperandKind::None || operand.position > position) break;
    switch (operand.kind) {
      case OperandKind::None:
        break;
      case OperandKind::Switch:
        return "on";
      case OperandKind::Wait:
        return "-d";
      case OperandKind::Text:
        return "10.0.0.5";
      case OperandKind::UserName:
        return "alice";
      case OperandKind::Password:
        return "secret";
      case OperandKind::FileName:
        return "fru.bin";
      case OperandKind::Code:
        return "ps";
      case OperandKind::UserId:
        return "3";
      case OperandKind::Privilege:
        return "4";
      case OperandKind::VlanTag:
        return "100";
      case OperandKind::FanMode:
        return "2";
      case OperandKind::RawBytes:
        return position == 1 ? "06" : "01";
    }
  }
  return "x";
}

// The operands of a shortest command line on the form.
std::vector<std::string> SeedOperands(const CommandForm& form) {
  std::vector<std::string> operands;
  for (int position = 1; position <= form.arguments.min; ++position) {
    if (!FixedSubWord(form, position)) operands.push_back(SeedOperand(form, position));
  }
  return operands;
}

fuzz::Input EncodeRun(int formIndex, const std::vector<std::string>& operands, unsigned extra,
                      const std::vector<uint8_t>* guid = nullptr) {
  fuzz::Input input = {static_cast<uint8_t>(formIndex), guid != nullptr ? kSystemGuid : uint8_t{0},
                       static_cast<uint8_t>(extra)};
  for (const std::string& operand : operands) fuzz::AppendText(input, operand, kOperandLength);
  if (guid != nullptr) fuzz::AppendField(input, *guid, kGuidLength);
  input.push_back(0);  // no KCS fault
  return input;
}

std::vector<fuzz::Input> Seeds() {
  std::vector<fuzz::Input> seeds;
  const CommandTable table = AllCommandForms();
  for (int i = 0; i < table.count; ++i) seeds.push_back(EncodeRun(i, SeedOperands(table.forms[i]), 0));
  // The command lines of the test tiers, each on the row it selects.
  for (const std::vector<std::string>& line : fuzz::TestCommandLines()) {
    std::vector<std::string> storage = {"tolvane"};
    storage.insert(storage.end(), line.begin(), line.end());
    std::vector<char*> argv;
    for (std::string& word : storage) argv.push_back(word.data());
    argv.push_back(nullptr);
    const Selection selection = SelectCommand(static_cast<int>(storage.size()), argv.data());
    if (selection.form == nullptr) continue;
    const int index = static_cast<int>(selection.form - table.forms);
    std::vector<std::string> operands;
    // storage: the program, the command word, then the arguments from position 1.
    const int count = static_cast<int>(storage.size()) - 2;
    for (int position = 1; position <= count; ++position) {
      if (!FixedSubWord(*selection.form, position)) operands.push_back(storage[static_cast<size_t>(position) + 1]);
    }
    fuzz::Input input = EncodeRun(index, operands, static_cast<unsigned>(count - selection.form->arguments.min));
    if (selection.operands.fru1Mode) input[1] |= kFru1Word;
    seeds.push_back(input);
  }
  for (const std::vector<uint8_t>& guid : FamilyGuidSeeds()) {
    for (int i = 0; i < table.count; ++i) {
      seeds.push_back(EncodeRun(i, SeedOperands(table.forms[i]), 0, &guid));
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
  const CommandTable table = AllCommandForms();
  const CommandForm& form = table.forms[input.Below(static_cast<unsigned>(table.count))];
  const uint8_t flags = input.Byte();
  const int count = CountOfArguments(form, input.Byte());

  // The command word, then the arguments: arguments[position].
  std::vector<std::string> arguments = {form.word};
  if ((flags & kFru1Word) != 0 && arguments[0] == "-fru") arguments[0] = "-fru1";
  for (int position = 1; position <= count; ++position) {
    arguments.push_back(FixedSubWord(form, position) ? form.subWord.exact : input.Text(kOperandLength));
  }

  fuzz::Machine machine;
  machine.files = fuzz::EventDataFiles();
  if ((flags & kDropDataFile) != 0) {
    auto dropped = machine.files.begin();
    std::advance(dropped, input.Below(static_cast<unsigned>(machine.files.size())));
    machine.files.erase(dropped);
  }
  if ((flags & kSourceIndex) != 0) {
    const std::vector<uint8_t> index = input.Bytes(16);
    machine.files["fru_source_index"] = fuzz::Bytes(index);
  }
  for (const OperandAt& operand : form.operands) {
    if (operand.kind == OperandKind::None) break;
    if (operand.kind == OperandKind::FileName && (flags & kOperandFile) != 0 && operand.position <= count) {
      machine.files[arguments[operand.position]] = fuzz::Bytes(input.Bytes(9000));
    }
  }
  fuzz::FileBytes smbiosTemplate;
  if ((flags & kTemplate) != 0) smbiosTemplate = fuzz::Bytes(input.Bytes(4096));
  machine.shell = [&smbiosTemplate, flags](const char*, fuzz::FileSystem& files) {
    if ((flags & kTemplate) != 0) files["SmbiosTemplate.cfg"] = smbiosTemplate;
    return 0;
  };

  Scenario scenario = fuzz::DefaultBmc();
  if ((flags & kSystemGuid) != 0) scenario.state.systemGuid = input.Bytes(kGuidLength);
  scenario.kcs = fuzz::FuzzedKcsFaults(input);
  fuzz::RunTool(machine, scenario, input, arguments, (flags & kNoPortAccess) == 0);
  return 0;
}
