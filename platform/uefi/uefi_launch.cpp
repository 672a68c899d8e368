// Running a shell command line for the tool (the SMBIOS dump), as system()
// does in the shell.
//
// EDK II's shell runs every Execute in a nested shell instance, which clears the
// screen before it parses a single option and then prints its banner and the
// mapping table. A command line that just names an application found as a file
// (in the current directory or a %path% directory, where the shell looks) is
// therefore started here directly, the way the shell starts an application:
// LoadImage, its command line as load options, a Shell Parameters protocol with
// its arguments and this application's standard handles, StartImage. Anything
// else (internal commands, scripts, redirection, a program not found) goes to
// Execute, with "-nomap -noversion" for a nesting shell, so only the screen
// clearing remains of the nested shell's output.
#include "platform/platform.hpp"
#include "platform/uefi/ucs2_text.hpp"
#include "platform/uefi/uefi_application.hpp"
#include "platform/uefi/uefi_shell.hpp"

namespace {

constexpr size_t kMaxCommandWords = 32;
constexpr int kNotStarted = -2;

CHAR16 CommandLineText[kMaxPathUnits];  // the whole line: the child's load options
CHAR16 CommandWords[kMaxPathUnits];     // the same, blanks turned into NULs
CHAR16* CommandArgv[kMaxCommandWords + 1];
CHAR16 ProgramPath[kMaxPathUnits];
CHAR16 ShellCommandLine[kMaxPathUnits];

bool WideEqualsIgnoreCase(const CHAR16* a, const char* b) {
  size_t i = 0;
  for (; a[i] != 0 && b[i] != '\0'; ++i) {
    CHAR16 x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<CHAR16>(a[i] - 'a' + 'A') : a[i];
    char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 'a' + 'A') : b[i];
    if (x != static_cast<CHAR16>(y)) return false;
  }
  return a[i] == 0 && b[i] == '\0';
}

// Words separated by blanks, with no character the shell would give another
// meaning (quotes, variables, redirection, pipes, escapes, comments, wildcards).
bool SplitPlainCommandLine(const CHAR16* line, size_t* argc) {
  size_t used = 0;
  if (!AppendWide(CommandWords, kMaxPathUnits, &used, line)) return false;
  *argc = 0;
  bool inWord = false;
  for (size_t i = 0; CommandWords[i] != 0; ++i) {
    const CHAR16 c = CommandWords[i];
    if (c == '"' || c == '%' || c == '>' || c == '<' || c == '|' || c == '^' || c == '#' || c == '*' || c == '?' ||
        c == '[' || c == '\t') {
      return false;
    }
    if (c == ' ') {
      CommandWords[i] = 0;
      inWord = false;
    } else if (!inWord) {
      if (*argc == kMaxCommandWords) return false;
      CommandArgv[(*argc)++] = &CommandWords[i];
      inWord = true;
    }
  }
  CommandArgv[*argc] = nullptr;
  return *argc > 0;
}

bool FileExists(CHAR16* path) {
  SHELL_FILE_HANDLE handle = nullptr;
  if (EFI_ERROR(uefi_call_wrapper(BoundShell.shell->OpenFileByName, 3, path, &handle, EFI_FILE_MODE_READ)) ||
      handle == nullptr) {
    return false;
  }
  uefi_call_wrapper(BoundShell.shell->CloseFile, 1, handle);
  return true;
}

// Where the shell would find the program: a name with a drive or directory as
// it is, a bare name in the current directory, then in each %path% directory.
bool FindProgram(const CHAR16* name) {
  size_t used = 0;
  if (!AppendWide(ProgramPath, kMaxPathUnits, &used, name)) return false;
  if (FileExists(ProgramPath)) return true;
  for (size_t i = 0; name[i] != 0; ++i) {
    if (name[i] == ':' || name[i] == '\\') return false;
  }
  const CHAR16* path = uefi_call_wrapper(BoundShell.shell->GetEnv, 1, reinterpret_cast<const CHAR16*>(u"path"));
  if (path == nullptr) return false;
  size_t start = 0;
  while (path[start] != 0) {
    size_t end = start;
    while (path[end] != 0 && path[end] != ';') ++end;
    if (end > start && end - start < kMaxPathUnits) {
      used = 0;
      for (size_t i = start; i < end; ++i) ProgramPath[used++] = path[i];
      ProgramPath[used] = 0;
      const bool joined = (ProgramPath[used - 1] == '\\' ||
                           AppendWide(ProgramPath, kMaxPathUnits, &used, reinterpret_cast<const CHAR16*>(u"\\"))) &&
                          AppendWide(ProgramPath, kMaxPathUnits, &used, name);
      if (joined && FileExists(ProgramPath)) return true;
    }
    start = path[end] == ';' ? end + 1 : end;
  }
  return false;
}

// The program at ProgramPath with CommandArgv: its status, or kNotStarted when
// it could not be loaded (the shell then gets the line and reports why).
int StartProgram(size_t argc) {
  EFI_DEVICE_PATH* devicePath =
      uefi_call_wrapper(BoundShell.shell->GetDevicePathFromFilePath, 1, static_cast<const CHAR16*>(ProgramPath));
  if (devicePath == nullptr) return kNotStarted;
  EFI_HANDLE child = nullptr;
  EFI_STATUS status = uefi_call_wrapper(BS->LoadImage, 6, FALSE, BoundShell.image, devicePath, nullptr, 0, &child);
  uefi_call_wrapper(BS->FreePool, 1, devicePath);
  if (EFI_ERROR(status)) {
    // A security violation still leaves an image handle behind.
    if (child != nullptr) uefi_call_wrapper(BS->UnloadImage, 1, child);
    return kNotStarted;
  }
  EFI_LOADED_IMAGE* loaded = nullptr;
  if (!EFI_ERROR(
          uefi_call_wrapper(BS->HandleProtocol, 3, child, &LoadedImageProtocol, reinterpret_cast<void**>(&loaded))) &&
      loaded != nullptr) {
    loaded->LoadOptions = CommandLineText;
    loaded->LoadOptionsSize = static_cast<UINT32>((WideLength(CommandLineText) + 1) * sizeof(CHAR16));
  }
  static EFI_SHELL_PARAMETERS_PROTOCOL childParameters;
  childParameters = EFI_SHELL_PARAMETERS_PROTOCOL{CommandArgv, argc, BoundShell.parameters->StdIn,
                                                  BoundShell.parameters->StdOut, BoundShell.parameters->StdErr};
  status = uefi_call_wrapper(BS->InstallProtocolInterface, 4, &child, &ShellParametersProtocolGuid,
                             EFI_NATIVE_INTERFACE, &childParameters);
  if (EFI_ERROR(status)) {
    uefi_call_wrapper(BS->UnloadImage, 1, child);
    return kNotStarted;
  }
  UINTN exitDataSize = 0;
  CHAR16* exitData = nullptr;
  const EFI_STATUS childStatus = uefi_call_wrapper(BS->StartImage, 3, child, &exitDataSize, &exitData);
  uefi_call_wrapper(BS->UninstallProtocolInterface, 3, child, &ShellParametersProtocolGuid, &childParameters);
  if (exitData != nullptr) uefi_call_wrapper(BS->FreePool, 1, exitData);
  return static_cast<int>(static_cast<uint32_t>(childStatus) & 0x7FFFFFFF);
}

}  // namespace

int RunCommandLineInShell(const char* commandLine) {
  if (BoundShell.shell == nullptr || commandLine == nullptr) return -1;
  size_t used = 0;
  ShellCommandLine[0] = 0;
  // A nesting shell takes options before the command; one that runs Execute in
  // itself would take "-nomap" for the command.
  const CHAR16* noNesting =
      uefi_call_wrapper(BoundShell.shell->GetEnv, 1, reinterpret_cast<const CHAR16*>(u"nonesting"));
  if ((noNesting == nullptr || !WideEqualsIgnoreCase(noNesting, "True")) &&
      !AppendWide(ShellCommandLine, kMaxPathUnits, &used, reinterpret_cast<const CHAR16*>(u"-nomap -noversion "))) {
    return -1;
  }
  if (!Utf8ToUcs2String(commandLine, reinterpret_cast<char16_t*>(ShellCommandLine + used), kMaxPathUnits - used)) {
    return -1;
  }
  // The shell leaves the status alone when it finds no program to run.
  EFI_STATUS commandStatus = EFI_SUCCESS;
  EFI_STATUS status =
      uefi_call_wrapper(BoundShell.shell->Execute, 4, &BoundShell.image, ShellCommandLine, nullptr, &commandStatus);
  if (EFI_ERROR(status)) return -1;
  // Shell commands end with small SHELL_STATUS values; an application's EFI error
  // code keeps its low bits (what %lasterror% shows without the error bit).
  return static_cast<int>(static_cast<uint32_t>(commandStatus) & 0x7FFFFFFF);
}

// Whether a word names a UEFI application by its file name (NAME.efi).
bool NamesApplication(const CHAR16* word) {
  const size_t length = WideLength(word);
  return length > 4 && WideEqualsIgnoreCase(word + length - 4, ".efi");
}

int RunCommandLine(const char* commandLine) {
  if (BoundShell.shell == nullptr || commandLine == nullptr) return -1;
  if (!Utf8ToUcs2String(commandLine, reinterpret_cast<char16_t*>(CommandLineText), kMaxPathUnits)) return -1;
  size_t argc = 0;
  if (BoundShell.parameters != nullptr && SplitPlainCommandLine(CommandLineText, &argc)) {
    if (FindProgram(CommandArgv[0])) {
      const int status = StartProgram(argc);
      if (status != kNotStarted) return status;
    } else if (NamesApplication(CommandArgv[0])) {
      // An application that is nowhere the shell would look: a nested shell
      // would only clear the screen to say so.
      return -1;
    }
  }
  return RunCommandLineInShell(commandLine);
}
