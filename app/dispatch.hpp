// The command table: from the argument vector to the one operation a run performs.
#pragma once

#include <cstdint>

#include "app/exit_status.hpp"

// Every operation a command form can call.
enum class Operation : uint8_t {
  None,  // the dispatcher itself ends the run (usage text or its own message)
  ShowIpAndMac,
  SetIpAddress,
  SetMacAddress,
  ShowSubnetMask,
  SetSubnetMask,
  ShowDhcpState,
  SetDhcp,
  ShowGateway,
  SetGateway,
  ColdResetBmc,
  SetGratuitousArp,
  FactoryDefault,
  FactoryDefaultCleanLan,
  FactoryDefaultCleanFruLan,
  ShowFirmwareVersion,
  ShowVlanState,
  SetVlan,
  ShowSelfTest,
  RawRequest,
  ShowFruInfo,
  ListFru,
  ShowChassisTypes,
  ShowFruHelp,
  ShowFruField,
  UpdateFruFromSmbios,
  WriteFruField,
  BackupFru,
  RestoreFru,
  ShowSelInfo,
  ListSel,
  ClearSel,
  DumpSelRaw,
  ListSensors,
  ShowFanMode,
  SetFanMode,
  ListUsers,
  ShowPrivilegeCodes,
  DeleteUser,
  SetUserLevel,
  SetUserPassword,
  AddUser,
};


// What the dispatcher decided for one argument vector.
struct Selection {
  Operation operation;
  int status;           // with Operation::None: kStatusUsage, or kStatusInvalidOperand
  const char* message;  // with kStatusInvalidOperand: the line to print
  bool waitAfterReset;  // "-d" given to a reset or factory default
  bool fruCommand;      // the command word was "-fru" or "-fru1"
  bool fru1Mode;        // ... and it was "-fru1"
  int flag;             // on = 1, off = 0 (DHCP, gratuitous ARP, VLAN)
  int number[2];        // decimal operands: VLAN tag / fan mode / user ID, privilege
  int argc;             // the argument vector, for operations that read text operands
  char** argv;
};

// Matches the command word and argument count against the command table and
// makes the dispatcher's own operand checks, in the table's order; the first
// failing check decides. Prints nothing.
Selection SelectOperation(int argc, char* argv[]);
