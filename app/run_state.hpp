// What one run of the tool holds: the tables its command fills, owned by the
// entry point (zero-initialised static storage: no heap, no constructor runs
// at start-up) and handed by reference to what reads them.
#pragma once

#include "fru/fru_access.hpp"
#include "sdr/sdr_repository.hpp"
#include "sel/sel_log.hpp"

struct RunState {
  FruSession fru;
  SelLog sel;
  SdrRepository sdr;
};
