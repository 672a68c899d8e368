#include "app/tool_main.hpp"

#include "app/dispatch.hpp"
#include "app/usage.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"

int ToolMain(int argc, char* argv[], RunState& run) {
  const Selection selection = SelectCommand(argc, argv);
  if (selection.form == nullptr) {
    if (selection.status == kStatusUsage) {
      ShowUsage();
    } else {
      Printf("%s", selection.message);
    }
    return selection.status;
  }
  return selection.form->operation.run(run, selection.operands);
}
