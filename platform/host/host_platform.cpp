// The platform seam on Linux: ports through the selected PortDriver, stalls on
// a virtual clock (and optionally for real), console and files through stdio.
#include "platform/host/host_platform.hpp"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>

#include "platform/platform.hpp"

namespace {

PortDriver* SelectedDriver = nullptr;
PortDriver* BoundDriver = nullptr;
MessageDriver* SelectedMessageDriver = nullptr;
std::string DataDirectory;
VirtualClock* Clock = nullptr;
bool SleepForReal = true;
std::string* CapturedOutput = nullptr;

}  // namespace

struct PlatformFile {
  std::FILE* stream;
  // A file opened for writing is written under temporaryPath and renamed over
  // path by FileClose only once it is whole, so a failed write never costs the
  // file that had the name before.
  std::string path;
  std::string temporaryPath;
  bool writeFailed = false;
};

void SelectPortDriver(PortDriver* driver) { SelectedDriver = driver; }

void SelectMessageDriver(MessageDriver* driver) { SelectedMessageDriver = driver; }

void SelectDataDirectory(std::string directory) { DataDirectory = std::move(directory); }

BmcPath BmcRequestPath() { return SelectedMessageDriver != nullptr ? BmcPath::Messages : BmcPath::KcsPorts; }

bool TransferMessage(uint8_t netFn, uint8_t cmd, std::span<const uint8_t> data, std::span<uint8_t> response,
                     size_t* length, const char** failure) {
  if (SelectedMessageDriver == nullptr) {
    *failure = "No IPMI driver is selected.";
    return false;
  }
  return SelectedMessageDriver->Transfer(netFn, cmd, data, response, length, failure);
}

void SelectClock(VirtualClock* clock, bool sleepForReal) {
  Clock = clock;
  SleepForReal = sleepForReal;
}

void CaptureConsole(std::string* output) { CapturedOutput = output; }

bool BindPortAccess() {
  BoundDriver = SelectedDriver;
  return BoundDriver != nullptr;
}

const char* PortAccessUnavailableText() { return "No BMC is attached to the KCS ports."; }

uint8_t PortRead8(uint16_t port) { return BoundDriver->Read8(port); }

void PortWrite8(uint16_t port, uint8_t value) { BoundDriver->Write8(port, value); }

void StallMicroseconds(uint32_t microseconds) {
  if (Clock != nullptr) Clock->Advance(microseconds);
  if (SleepForReal) {
    timespec wait{static_cast<time_t>(microseconds / 1000000), static_cast<long>(microseconds % 1000000) * 1000};
    while (nanosleep(&wait, &wait) != 0) {
    }
  }
}

void ConsoleWrite(ConsoleStream stream, const char* text, size_t length) {
  if (stream == ConsoleStream::Output && CapturedOutput != nullptr) {
    CapturedOutput->append(text, length);
    return;
  }
  std::FILE* out = stream == ConsoleStream::Output ? stdout : stderr;
  std::fwrite(text, 1, length, out);
}

PlatformFile* FileOpen(const char* name, FileMode mode) {
  if (mode != FileMode::WriteBinary) {
    std::FILE* stream = std::fopen(name, mode == FileMode::ReadText ? "r" : "rb");
    if (stream == nullptr) return nullptr;
    return new PlatformFile{stream, name, "", false};
  }
  // A file that may not be written keeps its bytes, whoever runs the tool
  // (root may write a read-only file, but a backup must not replace one), and
  // a directory is no file to write.
  struct stat existing {};
  const bool exists = stat(name, &existing) == 0;
  if (exists && (S_ISDIR(existing.st_mode) || access(name, W_OK) != 0 ||
                 (existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)) {
    return nullptr;
  }
  // Devices and pipes are written as they are; files go through a neighbour.
  const bool special = exists && !S_ISREG(existing.st_mode);
  const std::string temporary = special ? "" : std::string(name) + ".tvnew";
  std::FILE* stream = std::fopen(special ? name : temporary.c_str(), "wb");
  if (stream == nullptr) return nullptr;
  return new PlatformFile{stream, name, temporary, false};
}

size_t FileRead(PlatformFile* file, void* buffer, size_t size) { return std::fread(buffer, 1, size, file->stream); }

size_t FileWrite(PlatformFile* file, const void* data, size_t size) {
  const size_t written = std::fwrite(data, 1, size, file->stream);
  if (written != size) file->writeFailed = true;
  return written;
}

bool FileSeek(PlatformFile* file, int64_t offset, SeekOrigin origin) {
  const int whence = origin == SeekOrigin::Start ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
  return std::fseek(file->stream, static_cast<long>(offset), whence) == 0;
}

int64_t FileTell(PlatformFile* file) { return std::ftell(file->stream); }

bool FileClose(PlatformFile* file) {
  bool ok = std::fclose(file->stream) == 0 && !file->writeFailed;
  if (!file->temporaryPath.empty()) {
    ok = ok && std::rename(file->temporaryPath.c_str(), file->path.c_str()) == 0;
    if (!ok) unlink(file->temporaryPath.c_str());
  }
  delete file;
  return ok;
}

PlatformFile* OpenDataFile(const char* name) {
  if (PlatformFile* file = FileOpen(name, FileMode::ReadBinary)) return file;
  // Only a bare name is looked up among the installed data.
  if (DataDirectory.empty() || std::string(name).find('/') != std::string::npos) return nullptr;
  return FileOpen((DataDirectory + "/" + name).c_str(), FileMode::ReadBinary);
}

bool FileDelete(const char* name) {
  if (std::remove(name) == 0) return true;
  // ENOTDIR: a part of the path is no directory, so no such file either.
  return errno == ENOENT || errno == ENOTDIR;
}

int RunCommandLine(const char* commandLine) {
  std::fflush(stdout);
  const int status = std::system(commandLine);
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}
