// Real x86 I/O ports on Linux (root, ioperm), for running the host tool on a
// server's own BMC.
#pragma once

#include <span>

#include "platform/host/host_platform.hpp"

// nullptr, with the reason in *error, when the ports cannot be opened.
PortDriver* OpenHardwarePorts(const char** error);

// Where Linux's IPMI device interface (ipmi_devintf) shows the BMC, by naming
// scheme. While one of them exists the kernel's IPMI driver owns the KCS
// interface, and driving its registers from here as well would break both.
inline constexpr const char* kKernelIpmiDeviceNodes[] = {"/dev/ipmi0", "/dev/ipmi/0", "/dev/ipmidev/0"};

// The first of paths that exists (whatever its file type), or nullptr.
const char* FindKernelIpmiDevice(std::span<const char* const> paths);
