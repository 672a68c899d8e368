// The host tool: the same core as tolvane.efi, on Linux. It reaches the BMC
// through the kernel's IPMI driver (/dev/ipmi0), through this machine's own KCS
// ports, or it talks to a simulated BMC. Environment:
//   TOLVANE_PORTS=kernel          the kernel's IPMI device (TOLVANE_IPMI_DEVICE, else the
//                                 first of /dev/ipmi0, /dev/ipmi/0, /dev/ipmidev/0)
//   TOLVANE_PORTS=simulator       the simulated BMC (below)
//   TOLVANE_PORTS=hardware        real I/O ports 0CA2h/0CA3h; refused (status 11) while
//                                 the kernel's IPMI driver owns the interface
//   TOLVANE_PORTS=hardware-force  real I/O ports even then
//   (not set)                     the kernel's IPMI device when one exists, else the
//                                 simulated BMC, with a note on standard error
//   TOLVANE_KERNEL_TIMEOUT=S      seconds a request through the kernel may wait (default 15)
//   TOLVANE_DATA_DIR=DIR          where the event text data files are when the current
//                                 directory has none (default: the installed ones,
//                                 ../share/tolvane from the program)
// The simulated BMC keeps its state between runs in a JSON file, so a setting
// made by one run is read back by the next:
//   TOLVANE_BMC_STATE     the state file (default $XDG_STATE_HOME/tolvane/bmc-state.json,
//                         or ~/.local/state/tolvane/bmc-state.json)
//   TOLVANE_BMC_SCENARIO  the scenario a new state starts from (default: built in)
//   TOLVANE_VIRTUAL_CLOCK=1  stalls advance simulated time without sleeping
//   TOLVANE_BMC_REQUEST_LOG=FILE  every request the simulated BMC received in this
//                         run is appended to FILE, one "NN CC DD ..." line each
//                         (NetFn, command, data in hexadecimal)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "app/tool_main.hpp"
#include "platform/host/hardware_ports.hpp"
#include "platform/host/host_session.hpp"
#include "platform/host/kernel_ipmi.hpp"
#include "support/exit_status.hpp"

namespace {

RunState Run;

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// ---- The kernel's IPMI device -------------------------------------------------

// Requests through the kernel's IPMI driver, opened at the first request (so
// a missing device fails that request, as a KCS fault would); the reason of a
// failure stays valid until the next request.
class KernelMessages : public MessageDriver {
 public:
  // path: the device node, or empty for the first of kKernelIpmiDeviceNodes.
  KernelMessages(std::string path, int timeoutMs)
      : path_(std::move(path)), device_(SystemIpmiDeviceCalls(), timeoutMs) {}

  bool Transfer(uint8_t netFn, uint8_t cmd, std::span<const uint8_t> data, std::span<uint8_t> response, size_t* length,
                const char** failure) override {
    KernelIpmiResult result;
    if (!device_.IsOpen() && !path_.empty()) result = device_.Open(path_.c_str());
    if (result.Ok()) result = device_.Transfer(netFn, cmd, data, response);
    if (result.Ok()) {
      *length = result.length;
      return true;
    }
    // The core prints "Error: " before the binding's sentence.
    constexpr char kPrefix[] = "Error: ";
    reason_ = result.reason.rfind(kPrefix, 0) == 0 ? result.reason.substr(sizeof kPrefix - 1) : result.reason;
    *failure = reason_.c_str();
    return false;
  }

 private:
  std::string path_;
  KernelIpmiDevice device_;
  std::string reason_;
};

int RunThroughKernel(int argc, char* argv[]) {
  int timeoutMs = kKernelIpmiDefaultTimeoutMs;
  const std::string timeout = Environment(kKernelIpmiTimeoutVariable);
  if (!timeout.empty()) {
    const std::optional<int> parsed = ParseKernelIpmiTimeout(timeout.c_str());
    if (!parsed) {
      std::fprintf(stderr, "tolvane: %s=%s is not a whole number of seconds from 1 to 3600\n",
                   kKernelIpmiTimeoutVariable, timeout.c_str());
      return kStatusFailed;
    }
    timeoutMs = *parsed;
  }
  KernelMessages kernel(Environment("TOLVANE_IPMI_DEVICE"), timeoutMs);
  SelectMessageDriver(&kernel);
  SelectClock(nullptr, true);
  const int status = ToolMain(argc, argv, Run);
  SelectMessageDriver(nullptr);
  return status;
}

// ---- The KCS ports of this machine ----------------------------------------------

int RunThroughPorts(int argc, char* argv[], bool force) {
  if (!force) {
    if (const char* node = FindKernelIpmiDevice(kKernelIpmiDeviceNodes)) {
      std::fprintf(stderr,
                   "tolvane: the kernel's IPMI driver owns the KCS interface (%s); use TOLVANE_PORTS=kernel, or "
                   "unload it, or set TOLVANE_PORTS=hardware-force\n",
                   node);
      return kStatusFailed;
    }
  }
  const char* error = "";
  PortDriver* ports = OpenHardwarePorts(&error);
  if (ports == nullptr) {
    std::fprintf(stderr, "tolvane: %s\n", error);
    return kStatusFailed;
  }
  SelectPortDriver(ports);
  SelectClock(nullptr, true);
  return ToolMain(argc, argv, Run);
}

// ---- The simulated BMC ------------------------------------------------------------

std::string DefaultStatePath() {
  std::string base = Environment("XDG_STATE_HOME");
  if (base.empty()) {
    const std::string home = Environment("HOME");
    base = (home.empty() ? std::string(".") : home) + "/.local/state";
  }
  return base + "/tolvane/bmc-state.json";
}

// The state of the last run, else the chosen scenario, else the built-in one.
bool LoadBmc(const std::string& statePath, Scenario* scenario) {
  std::string error;
  if (std::filesystem::exists(statePath)) {
    if (LoadScenarioFile(statePath, scenario, &error)) return true;
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

void SaveBmc(const std::string& statePath, SimulatedBmc& bmc) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(statePath).parent_path(), ignored);
  std::string error;
  if (!SaveScenarioFile(statePath, bmc.Model().CurrentScenario(), &error)) {
    std::fprintf(stderr, "tolvane: simulated BMC state not saved: %s\n", error.c_str());
  }
}

void AppendRequestLog(const std::string& path, const BmcModel& bmc) {
  std::FILE* log = std::fopen(path.c_str(), "a");
  if (log == nullptr) {
    std::fprintf(stderr, "tolvane: cannot append to %s\n", path.c_str());
    return;
  }
  for (const IpmiMessage& request : bmc.RequestLog()) std::fprintf(log, "%s\n", RequestText(request).c_str());
  std::fclose(log);
}

int RunOnSimulator(int argc, char* argv[]) {
  std::string statePath = Environment("TOLVANE_BMC_STATE");
  if (statePath.empty()) statePath = DefaultStatePath();
  Scenario scenario;
  if (!LoadBmc(statePath, &scenario)) return kStatusFailed;
  auto bmc = std::make_unique<SimulatedBmc>(scenario);
  bmc->Attach(/*sleepForReal=*/Environment("TOLVANE_VIRTUAL_CLOCK") != "1");
  const int status = ToolMain(argc, argv, Run);
  SaveBmc(statePath, *bmc);
  const std::string requestLog = Environment("TOLVANE_BMC_REQUEST_LOG");
  if (!requestLog.empty()) AppendRequestLog(requestLog, bmc->Model());
  return status;
}

// Where an installed tool keeps what ships with it, relative to the program
// (bin/tolvane: share/tolvane, libexec/tolvane), so that any install prefix,
// the Debian package's included, finds it.
std::filesystem::path InstalledDirectory(const char* kind) {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return program.parent_path().parent_path() / kind / "tolvane";
}

// The SMBIOS dump a shell command line names (tablornX64.efi) is found on PATH;
// the installed one comes after the user's own.
void AddInstalledHelpers() {
  const std::string helpers = InstalledDirectory("libexec").string();
  if (helpers.empty() || !std::filesystem::is_directory(helpers)) return;
  const std::string path = Environment("PATH");
  setenv("PATH", (path.empty() ? helpers : path + ":" + helpers).c_str(), 1);
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::string dataDirectory = Environment("TOLVANE_DATA_DIR");
  SelectDataDirectory(dataDirectory.empty() ? InstalledDirectory("share").string() : dataDirectory);
  AddInstalledHelpers();

  const std::string ports = Environment("TOLVANE_PORTS");
  if (ports == "kernel") return RunThroughKernel(argc, argv);
  if (ports == "simulator") return RunOnSimulator(argc, argv);
  if (ports == "hardware" || ports == "hardware-force") return RunThroughPorts(argc, argv, ports == "hardware-force");
  if (!ports.empty()) {
    std::fprintf(stderr, "tolvane: TOLVANE_PORTS=%s is not one of kernel, simulator, hardware, hardware-force\n",
                 ports.c_str());
    return kStatusFailed;
  }
  // No choice made: a real BMC when the kernel shows one, as ipmitool does;
  // otherwise the simulated BMC, and the user is told so, so that its data never
  // pass for a real BMC's.
  if (FindKernelIpmiDevice(kKernelIpmiDeviceNodes) != nullptr) return RunThroughKernel(argc, argv);
  std::fprintf(stderr,
               "tolvane: no IPMI device (%s, %s, %s); answering from the simulated BMC (TOLVANE_PORTS=simulator "
               "chooses it without this note)\n",
               kKernelIpmiDeviceNodes[0], kKernelIpmiDeviceNodes[1], kKernelIpmiDeviceNodes[2]);
  return RunOnSimulator(argc, argv);
}
