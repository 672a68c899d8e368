#include "app/tool_main.hpp"

#include "app/dispatch.hpp"
#include "app/operations.hpp"
#include "app/switches.hpp"
#include "app/usage.hpp"
#include "support/format.hpp"

bool waitAfterReset;
bool fru1Mode;

int ToolMain(int argc, char* argv[]) {
  const Selection selection = SelectOperation(argc, argv);
  if (selection.fruCommand) fru1Mode = selection.fru1Mode;
  if (selection.waitAfterReset) waitAfterReset = true;

  if (selection.operation == Operation::None) {
    if (selection.status == kStatusUsage) {
      ShowUsage();
    } else {
      Printf("%s", selection.message);
    }
    return selection.status;
  }
  const OperationRunner run = FindOperation(selection.operation);
  if (run == nullptr) {
    ShowUsage();
    return kStatusUsage;
  }
  return run(selection);
}
