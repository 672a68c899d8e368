// tablornX64: the SMBIOS dump that the FRU update from SMBIOS runs as
// "tablornX64.efi -d". It writes the system, baseboard and chassis strings of
// the firmware's SMBIOS tables to SmbiosTemplate.cfg in the current directory.
#pragma once

// argv[1] "-d": write the template; anything else: the usage text (status 31).
// Status 0 when the template was written, 11 when it was not (no tables, a
// malformed table, a file error), and then no SmbiosTemplate.cfg is left.
int CompanionMain(int argc, char* argv[]);
