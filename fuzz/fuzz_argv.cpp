// Any argument vector through the dispatcher and the tool: the input is the
// arguments after the program name, separated by 00h bytes. The BMC is the
// built-in simulated one, answering as it should.
#include <string>
#include <vector>

#include "app/dispatch.hpp"
#include "fuzz/fuzz_input.hpp"
#include "fuzz/fuzz_platform.hpp"
#include "fuzz/fuzz_target.hpp"

namespace {

constexpr size_t kMaxArguments = 300;

std::vector<fuzz::Input> Seeds() {
  std::vector<fuzz::Input> seeds;
  for (const std::vector<std::string>& line : fuzz::TestCommandLines()) {
    fuzz::Input input;
    for (size_t i = 0; i < line.size(); ++i) {
      if (i > 0) input.push_back(0);
      input.insert(input.end(), line[i].begin(), line[i].end());
    }
    seeds.push_back(input);
  }
  return seeds;
}

// What a selected form must satisfy: the counts it takes, the sub-word it
// names, operands only where arguments are.
void CheckSelection(const Selection& selection, int argc, char* argv[]) {
  if (selection.form == nullptr) {
    if (selection.status != 31 && selection.status != 12) std::abort();
    return;
  }
  const CommandForm& form = *selection.form;
  const int count = argc - 2;  // the arguments after the command word
  if (count < form.arguments.min || count > form.arguments.max) std::abort();
  if (form.subWord.exact != nullptr && std::string(form.subWord.exact) != argv[2]) std::abort();
  for (const OperandAt& operand : form.operands) {
    if (operand.kind == OperandKind::None) break;
    if (operand.position < 1 || operand.position > count) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::WriteSeedsIfAsked(Seeds);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> arguments = {"tolvane"};
  std::string current;
  for (size_t i = 0; i < size && arguments.size() < kMaxArguments; ++i) {
    if (data[i] == 0) {
      arguments.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  if (size > 0 && arguments.size() < kMaxArguments) arguments.push_back(current);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(arguments.size());

  CheckSelection(SelectCommand(argc, argv.data()), argc, argv.data());

  fuzz::Machine machine;
  machine.files = fuzz::EventDataFiles();
  FuzzInput noBends(nullptr, 0);
  fuzz::RunTool(machine, fuzz::DefaultBmc(), noBends, std::vector<std::string>(arguments.begin() + 1, arguments.end()));
  return 0;
}
