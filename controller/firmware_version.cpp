#include "controller/firmware_version.hpp"

#include "controller/controller_commands.hpp"
#include "controller/identify.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "transport/ipmi.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

// Get Device ID response data (IPMI 2.0 section 20.1): firmware revision 1
// (major, taken whole), firmware revision 2 (minor, BCD) and the first auxiliary
// firmware revision byte, which IPMI makes optional.
constexpr uint32_t kMajorRevisionByte = 2;
constexpr uint32_t kMinorRevisionByte = 3;
constexpr uint32_t kAuxiliaryRevisionByte = 11;

// The OEM reply: three little-endian 32-bit values.
constexpr uint32_t kOemValueBytes = 4;
constexpr uint32_t kOemValues = 3;

// A version needs its major and minor fields; the third is shown only when the
// BMC sent it. Returns the completion code (CEh for a reply without the revision
// bytes).
uint8_t ShowDeviceIdVersion(bool withAuxiliary) {
  uint8_t response[kKcsMaxResponseData];
  uint32_t count = 0;
  const uint8_t cc =
      IpmiRequestForData(kNetFnApp, kCmdGetDeviceId, {}, response, &count, kMinorRevisionByte + 1);
  if (cc != kCcSuccess) return cc;
  if (withAuxiliary && count > kAuxiliaryRevisionByte) {
    Printf("Firmware Version: %02x.%02x.%.2d\n", response[kMajorRevisionByte], response[kMinorRevisionByte],
           response[kAuxiliaryRevisionByte]);
  } else {
    Printf("Firmware Version: %02x.%02x\n", response[kMajorRevisionByte], response[kMinorRevisionByte]);
  }
  return kCcSuccess;
}

int32_t LittleEndian32(const uint8_t* bytes) {
  const uint32_t value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  return static_cast<int32_t>(value);
}

}  // namespace

uint8_t ShowOemFirmwareVersion() {
  // Whole 32-bit values only: at least major and minor, the third when sent.
  uint8_t response[kKcsMaxResponseData];
  uint32_t count = 0;
  const uint8_t cc =
      IpmiRequestForData(kNetFnOemFirmware, kCmdOemFirmwareVersion, {}, response, &count, 2 * kOemValueBytes);
  if (cc != kCcSuccess) return cc;
  Printf("Firmware Version: %.2d.%.2d", LittleEndian32(response), LittleEndian32(response + kOemValueBytes));
  if (count >= kOemValues * kOemValueBytes) Printf(".%.2d", LittleEndian32(response + 2 * kOemValueBytes));
  return kCcSuccess;
}

int ShowFirmwareVersion() {
  const uint8_t cc = IdentifyBmc();
  if (cc != kCcSuccess) {
    Printf("Failed to get IPMI firmware reverison, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  // A version that cannot be read after the controller was identified is a
  // failure too, reported the same way.
  // An unidentified controller has no version form: nothing is shown.
  const ControllerFamily* family = FindControllerFamily(BmcType);
  uint8_t versionCc = kCcSuccess;
  if (family != nullptr) {
    switch (family->versionForm) {
      case VersionForm::TwoFields:
        versionCc = ShowDeviceIdVersion(false);
        break;
      case VersionForm::ThreeFields:
        versionCc = ShowDeviceIdVersion(true);
        break;
      case VersionForm::Oem:
        versionCc = ShowOemFirmwareVersion();
        break;
    }
  }
  if (versionCc != kCcSuccess) {
    Printf("Failed to get IPMI firmware reverison, Completion Code=%02Xh\n", versionCc);
    return kStatusFailed;
  }
  return kStatusSuccess;
}
