// Console text of the UEFI binding: through the Shell protocol's standard
// handles, so that the shell's redirection (`>`, `>>`, `>a`) applies, with the
// firmware's text console as the fallback outside a shell. UTF-8 becomes UCS-2
// a chunk at a time, with "\n" as CR LF.
#include "platform/platform.hpp"
#include "platform/uefi/ucs2_text.hpp"
#include "platform/uefi/uefi_shell.hpp"

namespace {

// Units per firmware call: every ConsoleWrite costs at most
// ceil(2 * length / kConsoleChunk) + 1 calls into the firmware.
constexpr size_t kConsoleChunk = 256;
CHAR16 ConsoleBuffer[kConsoleChunk + 1];
bool ConsolePreviousWasCr[2];

void EmitConsole(ConsoleStream stream, size_t units) {
  // The shell's console handle passes the buffer straight to ConOut's
  // OutputString, which reads up to a NUL whatever the size says.
  ConsoleBuffer[units] = 0;
  SHELL_FILE_HANDLE handle = nullptr;
  if (BoundShell.shell != nullptr && BoundShell.parameters != nullptr) {
    handle = stream == ConsoleStream::Error ? BoundShell.parameters->StdErr : BoundShell.parameters->StdOut;
  }
  if (handle != nullptr) {
    UINTN size = units * sizeof(CHAR16);
    uefi_call_wrapper(BoundShell.shell->WriteFile, 3, handle, &size, ConsoleBuffer);
    return;
  }
  SIMPLE_TEXT_OUTPUT_INTERFACE* out = ST->ConOut;
  if (stream == ConsoleStream::Error && ST->StdErr != nullptr) out = ST->StdErr;
  if (out != nullptr) uefi_call_wrapper(out->OutputString, 2, out, ConsoleBuffer);
}

}  // namespace

void ConsoleWrite(ConsoleStream stream, const char* text, size_t length) {
  bool* previousWasCr = &ConsolePreviousWasCr[stream == ConsoleStream::Error ? 1 : 0];
  size_t done = 0;
  while (done < length) {
    size_t consumed = 0;
    size_t units = Utf8ToUcs2Chunk(text + done, length - done, &consumed, reinterpret_cast<char16_t*>(ConsoleBuffer),
                                   kConsoleChunk, true, previousWasCr);
    if (consumed == 0) break;  // cannot happen with a chunk of two or more units
    EmitConsole(stream, units);
    done += consumed;
  }
}
