// Sends requests to the BMC through the kernel's IPMI device (KernelIpmiDevice)
// and prints each response, completion code first, in hexadecimal; or the
// failure line. The Linux guest tier runs it against each BMC, and the guest
// benchmark times it.
//
//   kernel_ipmi_probe [--device PATH] [--count N] NETFN CMD [DATA...]
//
// Bytes are hexadecimal. --count sends the same request N times (each its own
// msgid) and prints only the last response. The time-out is
// TOLVANE_KERNEL_TIMEOUT (whole seconds) when set. Exit status: 0 answered,
// 1 failed, 2 bad arguments.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/host/kernel_ipmi.hpp"

namespace {

bool HexByte(const char* text, uint8_t* value) {
  char* end = nullptr;
  unsigned long parsed = std::strtoul(text, &end, 16);
  if (*text == '\0' || *end != '\0' || parsed > 0xFF) return false;
  *value = static_cast<uint8_t>(parsed);
  return true;
}

int Usage() {
  std::fprintf(stderr, "usage: kernel_ipmi_probe [--device PATH] [--count N] NETFN CMD [DATA...] (hexadecimal)\n");
  return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  const char* device = nullptr;
  long count = 1;
  int arg = 1;
  for (; arg + 1 < argc && std::strncmp(argv[arg], "--", 2) == 0; arg += 2) {
    if (std::strcmp(argv[arg], "--device") == 0) {
      device = argv[arg + 1];
    } else if (std::strcmp(argv[arg], "--count") == 0) {
      count = std::strtol(argv[arg + 1], nullptr, 10);
      if (count < 1) return Usage();
    } else {
      return Usage();
    }
  }
  std::vector<uint8_t> bytes;
  for (; arg < argc; ++arg) {
    uint8_t value = 0;
    if (!HexByte(argv[arg], &value)) return Usage();
    bytes.push_back(value);
  }
  if (bytes.size() < 2) return Usage();

  int timeoutMs = kKernelIpmiDefaultTimeoutMs;
  if (const char* setting = std::getenv(kKernelIpmiTimeoutVariable)) {
    std::optional<int> parsed = ParseKernelIpmiTimeout(setting);
    if (!parsed) {
      std::fprintf(stderr, "%s: whole seconds from 1 to 3600\n", kKernelIpmiTimeoutVariable);
      return 2;
    }
    timeoutMs = *parsed;
  }

  KernelIpmiDevice ipmi(SystemIpmiDeviceCalls(), timeoutMs);
  if (device != nullptr) {
    KernelIpmiResult opened = ipmi.Open(device);
    if (!opened.Ok()) {
      std::printf("%s\n", opened.reason.c_str());
      return 1;
    }
  }
  uint8_t response[kKernelIpmiMaxMessage];
  KernelIpmiResult result;
  for (long n = 0; n < count; ++n) {
    result = ipmi.Transfer(bytes[0], bytes[1], std::span<const uint8_t>(bytes).subspan(2), response);
    if (!result.Ok()) {
      std::printf("%s\n", result.reason.c_str());
      return 1;
    }
  }
  for (size_t i = 0; i < result.length; ++i) std::printf("%s%02X", i == 0 ? "" : " ", response[i]);
  std::printf("\n");
  return 0;
}
