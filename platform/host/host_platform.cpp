// The platform seam on Linux: ports through the selected PortDriver, stalls on
// a virtual clock (and optionally for real), console and files through stdio.
#include "platform/host/host_platform.hpp"

#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/platform.hpp"

namespace {

PortDriver* SelectedDriver = nullptr;
PortDriver* BoundDriver = nullptr;
VirtualClock* Clock = nullptr;
bool SleepForReal = true;
std::string* CapturedOutput = nullptr;
void (*ExitHook)(int) = nullptr;

}  // namespace

struct PlatformFile {
  std::FILE* stream;
};

void SelectPortDriver(PortDriver* driver) { SelectedDriver = driver; }

void SelectClock(VirtualClock* clock, bool sleepForReal) {
  Clock = clock;
  SleepForReal = sleepForReal;
}

void CaptureConsole(std::string* output) { CapturedOutput = output; }

void SetExitHook(void (*hook)(int status)) { ExitHook = hook; }

bool BindPortAccess() {
  BoundDriver = SelectedDriver;
  return BoundDriver != nullptr;
}

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
  const char* modeText = mode == FileMode::ReadText ? "r" : mode == FileMode::ReadBinary ? "rb" : "wb";
  std::FILE* stream = std::fopen(name, modeText);
  if (stream == nullptr) return nullptr;
  return new PlatformFile{stream};
}

size_t FileRead(PlatformFile* file, void* buffer, size_t size) { return std::fread(buffer, 1, size, file->stream); }

size_t FileWrite(PlatformFile* file, const void* data, size_t size) {
  return std::fwrite(data, 1, size, file->stream);
}

bool FileSeek(PlatformFile* file, int64_t offset, SeekOrigin origin) {
  const int whence = origin == SeekOrigin::Start ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
  return std::fseek(file->stream, static_cast<long>(offset), whence) == 0;
}

int64_t FileTell(PlatformFile* file) { return std::ftell(file->stream); }

bool FileClose(PlatformFile* file) {
  const bool ok = std::fclose(file->stream) == 0;
  delete file;
  return ok;
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

void ExitProcess(int status) {
  if (ExitHook != nullptr) ExitHook(status);
  std::fflush(stdout);
  std::exit(status);
}
