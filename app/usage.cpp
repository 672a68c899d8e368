#include "app/usage.hpp"

#include "support/format.hpp"

namespace {

// nullptr stands for the version line, the one line with values in it.
constexpr const char* kVersionLine = nullptr;

constexpr const char* kUsageLines[] = {
    "\n",
    kVersionLine,
    "Copyright (C) 2014 TOLVANE developers. All rights reserved.\n",
    "Usage: TOLVANE params (Example: TOLVANE -m 192.168.1.123)\n",
    "  -m                    Show IP and MAC.\n",
    "  -m IP                 Set IP (format: ###.###.###.###).\n",
    "  -a MAC                Set MAC (format: ##:##:##:##:##:##).\n",
    "  -k                    Show Subnet Mask.\n",
    "  -k Mask               Set Subnet Mask (format: ###.###.###.###).\n",
    "  -dhcp                 Get the DHCP status.\n",
    "  -dhcp on              Enable the DHCP.\n",
    "  -dhcp off             Disable the DHCP.\n",
    "  -g                    Show Gateway IP.\n",
    "  -g IP                 Set Gateway IP (format: ###.###.###.###).\n",
    "  -r                    BMC cold reset.\n",
    "                        option: -d | Detected IPMI device for BMC reset.\n",
    "  -garp on              Enable the Gratuitous ARP.\n",
    "  -garp off             Disable the Gratuitous ARP.\n",
    "  -fd                   Reset to the factory default.\n",
    "                        option: -d | Detected IPMI device for BMC reset.\n",
    "  -fdl                  Reset to the factory default. (Clean LAN)\n",
    "                        option: -d | Detected IPMI device for BMC reset.\n",
    "  -fde                  Reset to the factory default. (Clean FRU & LAN)\n",
    "                        option: -d | Detected IPMI device for BMC reset.\n",
    "  -ver                  Get Firmware revision.\n",
    "  -vlan                 Get VLAN status.\n",
    "  -vlan on <VLANtag>    Enable the VLAN and set the VLAN tag.\n",
    "                        If VLANtag is not given it uses previously saved value.\n",
    "  -vlan off             Disable the VLAN.\n",
    "  -selftest             Checking and reporting on the basic health of BMC.\n",
    "  -raw                  Send a RAW IPMI request and print response.\n",
    "                        Format: NetFn Cmd [Data1 ... DataN]\n",
    "  -fru info             Show FRU inventory area Info.\n",
    "  -fru list             Show all FRU values.\n",
    "  -fru cthelp           Show chassis type code.\n",
    "  -fru help             Show help of FRU Write.\n",
    "  -fru <Field>          Show FRU field value.\n",
    "  -fru <Field> <Value>  Write FRU.\n",
    "  -fru 1m               Update FRU Product Manufacturer from DMITable.\n",
    "  -fru 1p               Update FRU Product Prodcut Name from DMITable.\n",
    "  -fru 1s               Update FRU Product S/N from DMITable.\n",
    "  -fru 2m               Update FRU Board Manufacturer from DMITable.\n",
    "  -fru 2p               Update FRU Board Product Name from DMITable.\n",
    "  -fru 2s               Update FRU Board S/N from DMITable.\n",
    "  -fru 3s               Update FRU Chassis S/N from DMITable.\n",
    "  -fru backup <file>    Backup FRU to file <Binary format>.\n",
    "  -fru restore <file>   Restore FRU from file <Binary format>.\n",
    "  -sel info             Show SEL info.\n",
    "  -sel list             Show SEL records.\n",
    "  -sel del              Delete all SEL records.\n",
    "  -sel raw              Show SEL raw data.\n",
    "  -sdr                  Show SDR records and reading.\n",
    "  -fan                  Get Fan Mode.\n",
    "  -fan <mode>           Set Fan Mode.\n",
    "  -user list            List user privilege information.\n",
    "  -user help            Show user privilege code.\n",
    "  -user add <user id> <user name> <password> <privilege>\n",
    "                        Add user.\n",
    "  -user del <user id>   Delete user.\n",
    "  -user level <user id> <privilege>  Update user privilege.\n",
    "  -user setpwd <user id> <password>  Update user password.\n",
};
static_assert(sizeof kUsageLines / sizeof kUsageLines[0] == 61, "the usage text has 61 lines");

}  // namespace

void ShowUsage() {
  for (const char* line : kUsageLines) {
    if (line == kVersionLine) {
      Printf("TOLVANE Version %s (Build %s)\n", kToolVersion, kToolBuild);
    } else {
      Printf("%s", line);
    }
  }
}
