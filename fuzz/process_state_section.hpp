// Forced into every source of the core in the fuzzing build: the core's
// process-wide state (zero-initialised tables and initialised values alike)
// goes to sections of its own, which fuzz/process_state.ld gathers between two
// symbols. Each input can then start from the state of a fresh run.
#pragma once
#pragma clang section bss = ".tolvane.bss" data = ".tolvane.data"
