#include "controller/firmware_version.hpp"

#include "app/exit_status.hpp"
#include "controller/identify.hpp"
#include "support/format.hpp"
#include "transport/ipmi.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

enum class VersionForm : uint8_t { None, TwoFields, ThreeFields, Oem };

struct FamilyVersionForm {
  uint8_t bmcType;
  VersionForm form;
};
constexpr FamilyVersionForm kVersionForms[] = {
    {2, VersionForm::TwoFields},   {3, VersionForm::TwoFields},  {4, VersionForm::Oem},
    {5, VersionForm::Oem},         {6, VersionForm::Oem},        {7, VersionForm::Oem},
    {8, VersionForm::Oem},         {9, VersionForm::Oem},        {10, VersionForm::TwoFields},
    {11, VersionForm::TwoFields},  {12, VersionForm::ThreeFields}, {13, VersionForm::TwoFields},
    {14, VersionForm::TwoFields},  {15, VersionForm::TwoFields},
};

// Get Device ID response data (IPMI 2.0 section 20.1): firmware revision 1
// (major, taken whole), firmware revision 2 (minor, BCD) and the first auxiliary
// firmware revision byte, which IPMI makes optional.
constexpr uint32_t kMajorRevisionByte = 2;
constexpr uint32_t kMinorRevisionByte = 3;
constexpr uint32_t kAuxiliaryRevisionByte = 11;

// The OEM reply: three little-endian 32-bit values.
constexpr uint32_t kOemValueBytes = 4;
constexpr uint32_t kOemValues = 3;

VersionForm FormOf(uint8_t bmcType) {
  for (const FamilyVersionForm& entry : kVersionForms) {
    if (entry.bmcType == bmcType) return entry.form;
  }
  return VersionForm::None;
}

// A version needs its major and minor fields; the third is shown only when the
// BMC sent it. Returns the completion code (CEh for a reply without the revision
// bytes).
uint8_t ShowDeviceIdVersion(bool withAuxiliary) {
  uint8_t response[kKcsMaxResponseData];
  uint32_t count = 0;
  const uint8_t cc =
      IpmiRequestForData(kNetFnApp, kCmdGetDeviceId, nullptr, 0, response, &count, kMinorRevisionByte + 1);
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
  const uint8_t cc = IpmiRequestForData(kNetFnOemFirmware, kCmdOemFirmwareVersion, nullptr, 0, response, &count,
                                        2 * kOemValueBytes);
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
  uint8_t versionCc = kCcSuccess;
  switch (FormOf(BmcType)) {
    case VersionForm::TwoFields:
      versionCc = ShowDeviceIdVersion(false);
      break;
    case VersionForm::ThreeFields:
      versionCc = ShowDeviceIdVersion(true);
      break;
    case VersionForm::Oem:
      versionCc = ShowOemFirmwareVersion();
      break;
    case VersionForm::None:
      break;
  }
  if (versionCc != kCcSuccess) {
    Printf("Failed to get IPMI firmware reverison, Completion Code=%02Xh\n", versionCc);
    return kStatusFailed;
  }
  return kStatusSuccess;
}
