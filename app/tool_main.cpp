#include "app/tool_main.hpp"

#include "app/dispatch.hpp"
#include "app/usage.hpp"
#include "controller/reset.hpp"
#include "fru/fru_access.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"

int ToolMain(int argc, char* argv[]) {
  const Selection selection = SelectCommand(argc, argv);
  // The FRU switch follows the command word before the form is known.
  if (selection.fruCommand) fru1Mode = selection.fru1Mode;

  if (selection.form == nullptr) {
    if (selection.status == kStatusUsage) {
      ShowUsage();
    } else {
      Printf("%s", selection.message);
    }
    return selection.status;
  }
  if (selection.form->waitAfterReset) waitAfterReset = true;
  return selection.form->run(selection.operands);
}
