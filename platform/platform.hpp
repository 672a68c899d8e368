// The platform seam: everything the core needs from the machine it runs on.
//
// The core (app/, transport/, support/ and the subsystem folders) is freestanding
// C++: it calls only what this header declares. Each target supplies one binding:
// platform/host for Linux (simulated or real ports, stdio files) and platform/uefi
// for the UEFI shell (PCI Root Bridge I/O, Boot Services Stall, Shell protocol).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// ---- The way to the BMC ----------------------------------------------------

// How the platform carries one request to the BMC.
enum class BmcPath : uint8_t {
  KcsPorts,  // the core drives the KCS interface through the port operations below
  Messages,  // whole requests through TransferMessage: an operating system's IPMI driver drives it
};

// The path of the next request; asked at the start of every request.
BmcPath BmcRequestPath();

// Messages: sends one request to the BMC (netFn unshifted, LUN 00b; at most
// kMaxRequestData data bytes) and waits for its response: the completion code,
// then the data, into response, their count in *length (at least 1). false
// when no response came: *failure then says why in the binding's words (one
// sentence, without the "Error: " the transport puts before it and without a
// line end), and response and *length are not to be used.
bool TransferMessage(uint8_t netFn, uint8_t cmd, std::span<const uint8_t> data, std::span<uint8_t> response,
                     size_t* length, const char** failure);

// ---- KCS port access -------------------------------------------------------

// Rebuilds the port-access binding. Called at the start of every IPMI request;
// returns false when no port access is available, and then PortRead8 and
// PortWrite8 must not be called until a later bind succeeds.
bool BindPortAccess();
// Why BindPortAccess failed, in the binding's words: one sentence, without the
// "Error: " the transport puts before it and without a line end.
const char* PortAccessUnavailableText();

// One byte from / to an x86 I/O port through the current binding.
uint8_t PortRead8(uint16_t port);
void PortWrite8(uint16_t port, uint8_t value);

// Busy-waits the given number of microseconds (firmware Stall on UEFI; a real or
// virtual clock on the host).
void StallMicroseconds(uint32_t microseconds);

// ---- Console ---------------------------------------------------------------

enum class ConsoleStream : uint8_t { Output, Error };

// Writes UTF-8 text; "\n" ends a line.
void ConsoleWrite(ConsoleStream stream, const char* text, size_t length);

// ---- Files -----------------------------------------------------------------

// Files are named as the user typed them: a bare name is looked up in the current
// directory, anything else is taken as a path.
enum class FileMode : uint8_t { ReadText, ReadBinary, WriteBinary };
enum class SeekOrigin : uint8_t { Start, Current, End };

struct PlatformFile;  // opaque; owned by the binding

// nullptr when the file cannot be opened in that mode. WriteBinary creates the
// file or replaces a file of that name once FileClose succeeds; a file that
// exists but may not be written (read-only, a directory) is not opened.
PlatformFile* FileOpen(const char* name, FileMode mode);
// Bytes actually transferred; a short count means end of file or an error.
size_t FileRead(PlatformFile* file, void* buffer, size_t size);
size_t FileWrite(PlatformFile* file, const void* data, size_t size);
// false when the position cannot be set.
bool FileSeek(PlatformFile* file, int64_t offset, SeekOrigin origin);
// Current position from the start of the file, or -1 on error.
int64_t FileTell(PlatformFile* file);
// Flushes and releases the file; false when a pending write failed.
bool FileClose(PlatformFile* file);
// A file that ships with the tool (the event text data files), by its bare
// name, for reading: the current directory first, then where the platform
// keeps the tool's data (in the UEFI shell the current directory only).
PlatformFile* OpenDataFile(const char* name);
// Deletes the named file. true when no file of that name remains: it was
// deleted, or there was none; false when it is still there.
bool FileDelete(const char* name);

// ---- SMBIOS tables ----------------------------------------------------------

// The firmware's SMBIOS tables as bytes in memory, for the SMBIOS dump.
struct SmbiosTableBytes {
  const uint8_t* entryPoint;  // nullptr: a structure table given without one
  size_t entryPointLength;    // the bytes readable at entryPoint
  const uint8_t* structures;  // nullptr: the entry point leads to no table
  size_t structuresLength;    // the bytes readable at structures
};

// UEFI: the entry point published in the EFI configuration table (SMBIOS 3.x
// preferred over 2.x) and the structure table it points to. Host: files (see
// platform/host/host_smbios.cpp). false when there are no SMBIOS tables.
bool FindSmbiosTable(SmbiosTableBytes* tables);

// ---- Process ---------------------------------------------------------------

// Runs one command line of the enclosing shell; its status, or -1 when it could
// not be started.
int RunCommandLine(const char* commandLine);
