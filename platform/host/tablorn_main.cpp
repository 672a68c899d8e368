// tablorn: the SMBIOS dump (tablornX64.efi) built for Linux, reading the tables
// from files (see host_smbios.cpp). Same arguments, output and template.
#include "companion/companion_main.hpp"

int main(int argc, char* argv[]) { return CompanionMain(argc, argv); }
