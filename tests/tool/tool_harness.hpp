// Runs the whole tool once, in a fresh child process, against a simulated BMC on
// a virtual clock, and reports what a user and the BMC would have seen.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sim/scenario.hpp"

struct ToolRun {
  int status = -1;                    // exit status; -N when the run died of signal N
  std::string output;                 // standard output, with that of programs the run starts
  std::vector<std::string> requests;  // as the BMC received them, "NN CC DD ..." (RequestText)
  uint64_t elapsedMicroseconds = 0;   // simulated time the run took
  std::string bmcState;               // the BMC's state after the run, as scenario JSON
};

using Environment = std::vector<std::pair<std::string, std::string>>;

// workingDirectory: where the run looks up the files it opens by bare name
// (empty: the test's own current directory); environment: variables set for
// this run only (and the programs it starts).
ToolRun RunTool(const Scenario& scenario, const std::vector<std::string>& arguments,
                const std::string& workingDirectory = "", const Environment& environment = {});

// The default BMC.
ToolRun RunTool(const std::vector<std::string>& arguments);

// A scenario from JSON text (the default BMC with these keys changed); fails the
// test on malformed text.
Scenario ScenarioFrom(const std::string& json);
