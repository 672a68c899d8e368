// A bare Linux process around the core: its own _start, the platform seam as raw
// system calls, no port access. It runs two commands and checks their statuses.
#include <cstddef>
#include <cstdint>

#include "app/tool_main.hpp"
#include "platform/platform.hpp"

namespace {

long SystemCall3(long number, long a, long b, long c) {
  long result;
  asm volatile("syscall" : "=a"(result) : "a"(number), "D"(a), "S"(b), "d"(c) : "rcx", "r11", "memory");
  return result;
}

constexpr long kSysWrite = 1;
constexpr long kSysExitGroup = 231;

size_t BytesWritten;
RunState Run;  // the tool's run state: zero-initialised, no constructor

[[noreturn]] void Exit(int status) {
  SystemCall3(kSysExitGroup, status, 0, 0);
  __builtin_unreachable();
}

}  // namespace

BmcPath BmcRequestPath() { return BmcPath::KcsPorts; }
bool TransferMessage(uint8_t, uint8_t, std::span<const uint8_t>, std::span<uint8_t>, size_t*, const char** failure) {
  *failure = "No message path in the freestanding build.";
  return false;
}
bool BindPortAccess() { return false; }
const char* PortAccessUnavailableText() { return "No KCS ports in the freestanding build."; }
uint8_t PortRead8(uint16_t) { Exit(90); }
void PortWrite8(uint16_t, uint8_t) { Exit(91); }
void StallMicroseconds(uint32_t) {}
void ConsoleWrite(ConsoleStream stream, const char* text, size_t length) {
  BytesWritten += length;
  SystemCall3(kSysWrite, stream == ConsoleStream::Output ? 1 : 2, reinterpret_cast<long>(text),
              static_cast<long>(length));
}
PlatformFile* FileOpen(const char*, FileMode) { return nullptr; }
size_t FileRead(PlatformFile*, void*, size_t) { return 0; }
size_t FileWrite(PlatformFile*, const void*, size_t) { return 0; }
bool FileSeek(PlatformFile*, int64_t, SeekOrigin) { return false; }
int64_t FileTell(PlatformFile*) { return -1; }
bool FileClose(PlatformFile*) { return false; }
PlatformFile* OpenDataFile(const char*) { return nullptr; }
bool FileDelete(const char*) { return true; }
bool FindSmbiosTable(SmbiosTableBytes*) { return false; }
int RunCommandLine(const char*) { return -1; }

extern "C" [[noreturn]] void FreestandingMain() {
  char program[] = "tolvane";
  char raw[] = "-raw";
  char netFn[] = "06";
  char cmd[] = "01";
  char* usage[] = {program, nullptr};
  char* request[] = {program, raw, netFn, cmd, nullptr};

  // No command: the usage text and status 31.
  if (ToolMain(1, usage, Run) != 31 || BytesWritten == 0) Exit(1);
  // A request with no port access: a transport failure, status 11.
  if (ToolMain(4, request, Run) != 11) Exit(2);
  Exit(0);
}

// The kernel enters with the stack 16-byte aligned and no return address.
asm(".globl _start\n"
    "_start:\n"
    "  xor %rbp, %rbp\n"
    "  and $-16, %rsp\n"
    "  call FreestandingMain\n"
    "  hlt\n");
