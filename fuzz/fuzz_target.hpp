// What every fuzz target shares: the exit statuses a run may end with, and the
// seed corpus each target writes from the scenarios of the test tiers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.hpp"
#include "fuzz/fuzz_platform.hpp"
#include "sim/scenario.hpp"

namespace fuzz {

using Input = std::vector<uint8_t>;

// Aborts (a finding) unless status is one the tool documents: 0, 1, 11, 12,
// 13 or 31.
void CheckExitStatus(int status);

// One run of the tool with arguments (after the program name) on machine,
// whose BMC answers as scenario says, bent by script (scripted_bmc.hpp);
// without ports there is no PCI Root Bridge I/O protocol. Aborts on an exit
// status the tool does not document.
void RunTool(Machine& machine, const Scenario& scenario, FuzzInput& script, const std::vector<std::string>& arguments,
             bool withPorts = true);

// The built-in simulated BMC, read once (reading its description costs more
// than most runs).
const Scenario& DefaultBmc();

// The BMCs of the test tiers: the built-in one and every scenario of the UEFI
// tier's case files and of scenarios/.
std::vector<Scenario> TestScenarios();
// The command lines of the UEFI and peer tiers' cases (arguments after the
// program name).
std::vector<std::vector<std::string>> TestCommandLines();

// With TOLVANE_FUZZ_WRITE_SEEDS=DIR in the environment: writes the inputs the
// encoder makes (one file each) to DIR and ends the process; otherwise nothing.
// Called from LLVMFuzzerInitialize.
void WriteSeedsIfAsked(const std::function<std::vector<Input>()>& encode);

// Little helpers for the encoders: a length-prefixed field as FuzzInput::Bytes
// reads it.
void AppendField(Input& input, const std::vector<uint8_t>& bytes, size_t maxLength);
void AppendText(Input& input, const std::string& text, size_t maxLength);

}  // namespace fuzz
