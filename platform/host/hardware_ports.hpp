// Real x86 I/O ports on Linux (root, ioperm), for running the host tool on a
// server's own BMC.
#pragma once

#include "platform/host/host_platform.hpp"

// nullptr, with the reason in *error, when the ports cannot be opened.
PortDriver* OpenHardwarePorts(const char** error);
