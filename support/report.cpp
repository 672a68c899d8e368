#include "support/report.hpp"

#include "support/exit_status.hpp"
#include "support/format.hpp"

int ReportFailure(const char* what, uint8_t completionCode) {
  Printf("%s, Completion Code=%02Xh\n", what, completionCode);
  return kStatusFailed;
}
