#include "platform/host/hardware_ports.hpp"

#include <sys/stat.h>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#endif

#include "transport/kcs.hpp"

namespace {

#if defined(__x86_64__) || defined(__i386__)
class HardwarePorts : public PortDriver {
 public:
  uint8_t Read8(uint16_t port) override { return inb(port); }
  void Write8(uint16_t port, uint8_t value) override { outb(value, port); }
};
#endif

}  // namespace

PortDriver* OpenHardwarePorts(const char** error) {
#if defined(__x86_64__) || defined(__i386__)
  // The two KCS registers are adjacent: data, then status/command.
  static_assert(kKcsStatusRegister == kKcsDataRegister + 1);
  if (ioperm(kKcsDataRegister, 2, 1) != 0) {
    *error = "cannot open I/O ports 0CA2h-0CA3h (needs root)";
    return nullptr;
  }
  static HardwarePorts ports;
  return &ports;
#else
  *error = "I/O ports exist only on x86";
  return nullptr;
#endif
}

const char* FindKernelIpmiDevice(std::span<const char* const> paths) {
  for (const char* path : paths) {
    struct stat info;
    if (stat(path, &info) == 0) return path;
  }
  return nullptr;
}
