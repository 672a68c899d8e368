#include "controller/firmware_version.hpp"

#include "controller/controller_commands.hpp"
#include "controller/identify.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "support/report.hpp"
#include "transport/ipmi.hpp"

namespace {

constexpr const char kVersionFailure[] = "Failed to get IPMI firmware reverison";

// The OEM firmware version reply: three little-endian 32-bit values, the third
// optional.
struct OemFirmwareVersion {
  int32_t major;
  int32_t minor;
  bool hasThird;
  int32_t third;
};

uint8_t GetOemFirmwareVersion(OemFirmwareVersion* version) {
  IpmiResponse reply;
  const uint8_t cc = IpmiExchange(kNetFnOemFirmware, kCmdOemFirmwareVersion, {}, &reply);
  ByteReader reader = reply.Reader();
  version->major = static_cast<int32_t>(reader.Le32());
  version->minor = static_cast<int32_t>(reader.Le32());
  const uint8_t result = DecodedResult(cc, reader);
  version->third = static_cast<int32_t>(reader.Le32());
  version->hasThird = !reader.Short();
  return result;
}

// A version needs its major and minor fields; the third is shown only when the
// BMC sent it. Returns the completion code (CEh for a reply without the revision
// bytes).
uint8_t ShowDeviceIdVersion(bool withAuxiliary) {
  DeviceIdReply id;
  const uint8_t cc = GetDeviceId(&id);
  if (cc != kCcSuccess) return cc;
  if (withAuxiliary && id.hasAuxiliary) {
    Printf("Firmware Version: %02x.%02x.%.2d\n", id.firmwareRevision1, id.firmwareRevision2, id.auxiliaryRevision);
  } else {
    Printf("Firmware Version: %02x.%02x\n", id.firmwareRevision1, id.firmwareRevision2);
  }
  return kCcSuccess;
}

}  // namespace

uint8_t ShowOemFirmwareVersion() {
  // Whole 32-bit values only: at least major and minor, the third when sent.
  OemFirmwareVersion version;
  const uint8_t cc = GetOemFirmwareVersion(&version);
  if (cc != kCcSuccess) return cc;
  Printf("Firmware Version: %.2d.%.2d", static_cast<int>(version.major), static_cast<int>(version.minor));
  if (version.hasThird) Printf(".%.2d", static_cast<int>(version.third));
  return kCcSuccess;
}

int ShowFirmwareVersion() {
  uint8_t bmcType = kBmcTypeNone;
  const uint8_t cc = IdentifyBmc(&bmcType);
  if (cc != kCcSuccess) return ReportFailure(kVersionFailure, cc);
  // A version that cannot be read after the controller was identified is a
  // failure too, reported the same way. An unidentified controller has no
  // version form: nothing is shown.
  const ControllerFamily* family = FindControllerFamily(bmcType);
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
  if (versionCc != kCcSuccess) return ReportFailure(kVersionFailure, versionCc);
  return kStatusSuccess;
}
