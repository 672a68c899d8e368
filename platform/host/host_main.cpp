// The host tool: the same core as tolvane.efi, talking to a simulated BMC (or,
// with TOLVANE_PORTS=hardware, to this machine's own BMC through its I/O ports).
//
// The simulated BMC keeps its state between runs in a JSON file, so a setting
// made by one run is read back by the next. Environment:
//   TOLVANE_BMC_STATE     the state file (default $XDG_STATE_HOME/tolvane/bmc-state.json,
//                         or ~/.local/state/tolvane/bmc-state.json)
//   TOLVANE_BMC_SCENARIO  the scenario a new state starts from (default: built in)
//   TOLVANE_VIRTUAL_CLOCK=1  stalls advance simulated time without sleeping
//   TOLVANE_PORTS=hardware   real I/O ports 0CA2h/0CA3h instead of the simulator;
//                            refused (status 11) while the kernel's IPMI driver owns
//                            the interface (/dev/ipmi0, /dev/ipmi/0 or /dev/ipmidev/0)
//   TOLVANE_PORTS=hardware-force  real I/O ports even then
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/tool_main.hpp"
#include "platform/host/hardware_ports.hpp"
#include "platform/host/host_session.hpp"

namespace {

std::unique_ptr<SimulatedBmc> Bmc;
std::string StatePath;
RunState Run;

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string DefaultStatePath() {
  std::string base = Environment("XDG_STATE_HOME");
  if (base.empty()) {
    const std::string home = Environment("HOME");
    base = (home.empty() ? std::string(".") : home) + "/.local/state";
  }
  return base + "/tolvane/bmc-state.json";
}

// The state of the last run, else the chosen scenario, else the built-in one.
bool LoadBmc(Scenario* scenario) {
  std::string error;
  if (std::filesystem::exists(StatePath)) {
    if (LoadScenarioFile(StatePath, scenario, &error)) return true;
    std::fprintf(stderr, "tolvane: simulated BMC state %s (delete the file to start afresh)\n", error.c_str());
    return false;
  }
  const std::string scenarioPath = Environment("TOLVANE_BMC_SCENARIO");
  if (scenarioPath.empty()) {
    *scenario = DefaultScenario();
    return true;
  }
  if (LoadScenarioFile(scenarioPath, scenario, &error)) return true;
  std::fprintf(stderr, "tolvane: scenario %s\n", error.c_str());
  return false;
}

void SaveBmc() {
  if (!Bmc) return;
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(StatePath).parent_path(), ignored);
  std::string error;
  if (!SaveScenarioFile(StatePath, Bmc->Model().CurrentScenario(), &error)) {
    std::fprintf(stderr, "tolvane: simulated BMC state not saved: %s\n", error.c_str());
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::string ports = Environment("TOLVANE_PORTS");
  if (ports == "hardware" || ports == "hardware-force") {
    if (ports == "hardware") {
      if (const char* node = FindKernelIpmiDevice(kKernelIpmiDeviceNodes)) {
        std::fprintf(stderr,
                     "tolvane: the kernel's IPMI driver owns the KCS interface (%s); unload it, or set "
                     "TOLVANE_PORTS=hardware-force\n",
                     node);
        return 11;
      }
    }
    const char* error = "";
    PortDriver* ports = OpenHardwarePorts(&error);
    if (ports == nullptr) {
      std::fprintf(stderr, "tolvane: %s\n", error);
      return 11;
    }
    SelectPortDriver(ports);
    SelectClock(nullptr, true);
    return ToolMain(argc, argv, Run);
  }

  StatePath = Environment("TOLVANE_BMC_STATE");
  if (StatePath.empty()) StatePath = DefaultStatePath();
  Scenario scenario;
  if (!LoadBmc(&scenario)) return 11;
  Bmc = std::make_unique<SimulatedBmc>(scenario);
  Bmc->Attach(/*sleepForReal=*/Environment("TOLVANE_VIRTUAL_CLOCK") != "1");
  const int status = ToolMain(argc, argv, Run);
  SaveBmc();
  return status;
}
