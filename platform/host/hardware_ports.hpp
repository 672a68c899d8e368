// Real x86 I/O ports on Linux (root, ioperm), for running the host tool on a
// server's own BMC.
#pragma once

#include <span>

#include "platform/host/host_platform.hpp"
#include "platform/host/kernel_ipmi.hpp"

// nullptr, with the reason in *error, when the ports cannot be opened.
PortDriver* OpenHardwarePorts(const char** error);

// The first of paths that exists (whatever its file type), or nullptr. While one
// of kKernelIpmiDeviceNodes exists the kernel's IPMI driver owns the KCS
// interface, and driving its registers from here as well would break both.
const char* FindKernelIpmiDevice(std::span<const char* const> paths);
