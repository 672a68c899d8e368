// The Linux build's own choices, run as a user runs it: which BMC answers
// (TOLVANE_PORTS), and where the event text data files are found.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "platform/host/hardware_ports.hpp"
#include "platform/host/kernel_ipmi.hpp"
#include "tests/tool/fru_tool_support.hpp"

namespace {

struct HostRun {
  int status;
  std::string output;  // standard output, then standard error
};

// The host tool with these environment assignments, in the scratch directory.
HostRun RunHostTool(const std::string& environment, const std::string& arguments) {
  const std::string command =
      "env -u TOLVANE_PORTS -u TOLVANE_DATA_DIR TOLVANE_VIRTUAL_CLOCK=1 "
      "TOLVANE_BMC_STATE=state.json " +
      environment + " " + TOLVANE_HOST_TOOL + " " + arguments + " 2>&1";
  HostRun run{-1, ""};
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
    const int wait = pclose(pipe);
    run.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
  }
  return run;
}

constexpr const char kDeviceId[] = "20 01 01 02 02 BF 00 00 00 00 00 00 00 00 00 \n";

TEST(HostTool, TheBmcIsChosenByTolvanePorts) {
  fru_tool::ScratchDirectory directory;
  const struct {
    const char* environment;
    int status;
    std::string output;
  } cases[] = {
      {"TOLVANE_PORTS=simulator", 0, kDeviceId},
      {"TOLVANE_PORTS=Simulator", 11,
       "tolvane: TOLVANE_PORTS=Simulator is not one of kernel, simulator, hardware, hardware-force\n"},
      // A device node that is not an IPMI device: the request fails as a KCS
      // transfer does, with its "Error: " line and 03h.
      {"TOLVANE_PORTS=kernel TOLVANE_IPMI_DEVICE=/dev/null", 11,
       "Error: the kernel's IPMI driver refused NetFn 06h command 01h: Inappropriate ioctl for device.\n"
       "IPMI command not completed normally, Completion Code=03h\n"},
      {"TOLVANE_PORTS=kernel TOLVANE_KERNEL_TIMEOUT=0", 11,
       "tolvane: TOLVANE_KERNEL_TIMEOUT=0 is not a whole number of seconds from 1 to 3600\n"},
  };
  for (const auto& c : cases) {
    const HostRun run = RunHostTool(c.environment, "-raw 06 01");
    EXPECT_EQ(run.output, c.output) << c.environment;
    EXPECT_EQ(run.status, c.status) << c.environment;
  }
  // No choice: the kernel's device where one exists, else the simulated BMC with a note.
  if (FindKernelIpmiDevice(kKernelIpmiDeviceNodes) != nullptr) GTEST_SKIP() << "this machine has a kernel IPMI device";
  const HostRun unchosen = RunHostTool("", "-raw 06 01");
  EXPECT_EQ(unchosen.output,
            std::string("tolvane: no IPMI device (/dev/ipmi0, /dev/ipmi/0, /dev/ipmidev/0); answering from the "
                        "simulated BMC (TOLVANE_PORTS=simulator chooses it without this note)\n") +
                kDeviceId);
  EXPECT_EQ(unchosen.status, 0);
}

// The event text data files of the current directory first, then the data
// directory's; each file found on its own.
TEST(HostTool, EventDataFilesFromTheCurrentDirectoryThenTheDataDirectory) {
  fru_tool::ScratchDirectory directory;
  const std::string data = TOLVANE_EVENT_DATA_DIR;
  const HostRun none = RunHostTool("TOLVANE_PORTS=simulator TOLVANE_DATA_DIR=" + directory.Path(), "-sel list");
  EXPECT_EQ(none.output, "Failed to open MBType.dat.\n");
  EXPECT_EQ(none.status, 1);
  const HostRun installed = RunHostTool("TOLVANE_PORTS=simulator TOLVANE_DATA_DIR=" + data, "-sel list");
  EXPECT_EQ(installed.status, 0) << installed.output;
  // A GenEvt.dat of the current directory wins: one with no record gives empty generic texts.
  fru_tool::WriteFile("GenEvt.dat", std::string());
  const HostRun local = RunHostTool("TOLVANE_PORTS=simulator TOLVANE_DATA_DIR=" + data, "-sel list");
  EXPECT_EQ(local.status, 0) << local.output;
  EXPECT_NE(local.output, installed.output);
}

}  // namespace
