#include "fuzz/fuzz_platform.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "platform/platform.hpp"

struct PlatformFile {
  std::string name;
  fuzz::FileBytes reading;       // the file being read
  std::vector<uint8_t> written;  // or what is being written
  size_t position = 0;
  bool writing = false;

  const std::vector<uint8_t>& Bytes() const { return writing ? written : *reading; }
};

namespace fuzz {
namespace {

Machine* Current = nullptr;
bool Bound = false;
// Files the core opened and did not close, freed after the run.
std::vector<PlatformFile*> OpenFiles;

void FreeOpenFiles() {
  for (PlatformFile* file : OpenFiles) delete file;
  OpenFiles.clear();
}

constexpr size_t kConsoleLimit = 1 << 20;
constexpr size_t kFileLimit = 1 << 20;  // a file larger than this is not written further

}  // namespace

Machine& CurrentMachine() { return *Current; }

int RunCore(Machine& machine, const std::function<int()>& entry) {
  Current = &machine;
  Bound = false;
  const int status = entry();
  FreeOpenFiles();
  Current = nullptr;
  return status;
}

const FileSystem& EventDataFiles() {
  static const FileSystem files = [] {
    FileSystem loaded;
    for (const char* name : {"MBType.dat", "GenEvt.dat", "SpecEvt1.dat", "SpecEvt2.dat", "SpecEvt3.dat", "SpecEvt4.dat",
                             "SpecEvt5.dat", "RomEN.dat", "RomEPEX.dat"}) {
      std::ifstream in(std::string(TOLVANE_EVENT_DATA_DIR) + "/" + name, std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "fuzz: event data file %s missing in %s\n", name, TOLVANE_EVENT_DATA_DIR);
        std::abort();
      }
      loaded[name] = Bytes(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    }
    return loaded;
  }();
  return files;
}

}  // namespace fuzz

// ---- The seam --------------------------------------------------------------

using fuzz::Current;

namespace {
PlatformFile* Opened(std::unique_ptr<PlatformFile> file) {
  fuzz::OpenFiles.push_back(file.get());
  return file.release();
}
}  // namespace

BmcPath BmcRequestPath() { return BmcPath::KcsPorts; }

bool TransferMessage(uint8_t, uint8_t, std::span<const uint8_t>, std::span<uint8_t>, size_t*, const char** failure) {
  *failure = "No message path on the fuzzing machine.";
  return false;
}

bool BindPortAccess() {
  fuzz::Bound = Current->ports != nullptr;
  return fuzz::Bound;
}

// A machine without ports stands for firmware without the protocol.
const char* PortAccessUnavailableText() { return "No PCI Root Bridge I/O protocol found."; }

uint8_t PortRead8(uint16_t port) {
  if (!fuzz::Bound) std::abort();  // the core must not use an empty binding
  return Current->ports->Read(port);
}

void PortWrite8(uint16_t port, uint8_t value) {
  if (!fuzz::Bound) std::abort();
  Current->ports->Write(port, value);
}

void StallMicroseconds(uint32_t microseconds) { Current->clock.Advance(microseconds); }

void ConsoleWrite(ConsoleStream, const char* text, size_t length) {
  std::string& console = Current->console;
  if (console.size() < fuzz::kConsoleLimit)
    console.append(text, std::min(length, fuzz::kConsoleLimit - console.size()));
}

PlatformFile* FileOpen(const char* name, FileMode mode) {
  if (name == nullptr) return nullptr;
  auto file = std::make_unique<PlatformFile>();
  file->name = name;
  if (mode == FileMode::WriteBinary) {
    file->writing = true;
    return Opened(std::move(file));
  }
  const auto found = Current->files.find(name);
  if (found == Current->files.end()) return nullptr;
  file->reading = found->second;
  return Opened(std::move(file));
}

size_t FileRead(PlatformFile* file, void* buffer, size_t size) {
  if (file == nullptr || file->writing || file->position >= file->reading->size()) return 0;
  const size_t count = std::min(size, file->reading->size() - file->position);
  std::memcpy(buffer, file->reading->data() + file->position, count);
  file->position += count;
  return count;
}

size_t FileWrite(PlatformFile* file, const void* data, size_t size) {
  if (file == nullptr || !file->writing || file->position >= fuzz::kFileLimit) return 0;
  const size_t count = std::min(size, fuzz::kFileLimit - file->position);
  if (file->written.size() < file->position + count) file->written.resize(file->position + count);
  std::memcpy(file->written.data() + file->position, data, count);
  file->position += count;
  return count;
}

bool FileSeek(PlatformFile* file, int64_t offset, SeekOrigin origin) {
  if (file == nullptr) return false;
  const int64_t base = origin == SeekOrigin::Start     ? 0
                       : origin == SeekOrigin::Current ? static_cast<int64_t>(file->position)
                                                       : static_cast<int64_t>(file->Bytes().size());
  if (offset < -base || offset > static_cast<int64_t>(fuzz::kFileLimit)) return false;
  file->position = static_cast<size_t>(base + offset);
  return true;
}

int64_t FileTell(PlatformFile* file) { return file == nullptr ? -1 : static_cast<int64_t>(file->position); }

bool FileClose(PlatformFile* file) {
  if (file == nullptr) return false;
  // A written file takes its name only when it is closed whole, as on the
  // real targets.
  if (file->writing) Current->files[file->name] = fuzz::Bytes(std::move(file->written));
  std::erase(fuzz::OpenFiles, file);
  delete file;
  return true;
}

PlatformFile* OpenDataFile(const char* name) { return FileOpen(name, FileMode::ReadBinary); }

bool FileDelete(const char* name) {
  if (name != nullptr) Current->files.erase(name);
  return true;
}

bool FindSmbiosTable(SmbiosTableBytes* tables) {
  if (Current->smbiosEntryPoint == nullptr && Current->smbiosStructures == nullptr) return false;
  *tables = {Current->smbiosEntryPoint, Current->smbiosEntryPointLength, Current->smbiosStructures,
             Current->smbiosStructuresLength};
  return true;
}

int RunCommandLine(const char* commandLine) {
  if (!Current->shell || commandLine == nullptr) return -1;
  return Current->shell(commandLine, Current->files);
}
