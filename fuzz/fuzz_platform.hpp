// The platform seam for the fuzz targets: files in memory (so no input can
// touch the host's file system, whatever names it gives), console text kept
// in memory, stalls on a virtual clock, and ports through a simulated KCS
// interface. Each run of the core starts from a fresh run state, which the
// target constructs for it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/kcs_device.hpp"
#include "sim/virtual_clock.hpp"

namespace fuzz {

// Files of the in-memory file system, by the name the core opens them with.
// Contents are shared, never changed in place: a file written anew replaces
// its entry, so copying a file system or opening a file copies no bytes.
using FileBytes = std::shared_ptr<const std::vector<uint8_t>>;
using FileSystem = std::map<std::string, FileBytes>;

inline FileBytes Bytes(std::vector<uint8_t> bytes) {
  return std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
}

struct Machine {
  FileSystem files;
  KcsDevice* ports = nullptr;  // nullptr: no PCI Root Bridge I/O protocol
  VirtualClock clock;
  std::string console;  // standard output and error, in order (bounded)
  // RunCommandLine: what the shell command does (nullptr: not found, -1).
  std::function<int(const char* commandLine, FileSystem& files)> shell;
  const uint8_t* smbiosEntryPoint = nullptr;
  size_t smbiosEntryPointLength = 0;
  const uint8_t* smbiosStructures = nullptr;
  size_t smbiosStructuresLength = 0;
};

// The machine the seam works on during RunCore.
Machine& CurrentMachine();

// Runs entry (ToolMain, CompanionMain...) on the machine; its exit status.
int RunCore(Machine& machine, const std::function<int()>& entry);

// The generated event text data files (the build tree's), loaded once.
const FileSystem& EventDataFiles();

}  // namespace fuzz
