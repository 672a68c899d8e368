// The command table: from the argument vector to the one operation a run
// performs. Each command form is one row: its command word, the argument
// counts it takes, how its sub-word is matched, the operands it reads (by name
// and argument position, with the dispatcher's own checks) and the operation
// it runs.
#pragma once

#include <cstdint>

// The operands a form hands to its operation, by name; a form fills only those
// it lists.
struct Operands {
  bool on;              // the sub-word was "on" (DHCP, gratuitous ARP, VLAN)
  int vlanTag;          // 1..4094, or 0: keep the tag the BMC holds
  uint8_t fanMode;      // 0..4
  uint8_t userId;       // 0..255
  uint8_t privilege;    // 0..255
  const char* text;     // an address, a field value
  const char* userName;
  const char* password;
  const char* fileName;
  const char* code;     // a FRU field or update code, as typed
  int argc;             // -raw: the whole argument count, and the operands
  char** rawOperands;   // from the NetFn on
};

using OperationRunner = int (*)(const Operands& operands);

// What an operand is, which says how the dispatcher reads and checks it.
enum class OperandKind : uint8_t {
  Text,         // handed on as typed
  UserName,
  Password,
  FileName,
  Code,
  UserId,       // decimal 0..255, else "Invalid parameters." and 12
  Privilege,    // decimal 0..255, else "Invalid parameters." and 12
  VlanTag,      // decimal, else usage; outside 1..4094 the VLAN tag message and 12
  FanMode,      // decimal, else usage; above 4 (unsigned) "Invalid mode." and 12
  RawOperands,  // this argument and all after it
};

struct OperandAt {
  OperandKind kind;
  uint8_t position;  // in argv; 0 ends the list
};

// How argv[2] is matched.
struct SubWordRule {
  const char* exact;                                // compared whole, case-sensitively
  bool (*matches)(const char* word, bool fru1Mode);  // or tested by this
};

inline constexpr int kMaxOperandsPerForm = 4;

struct CommandForm {
  const char* word;
  int minArgc;
  int maxArgc;
  SubWordRule subWord;  // both null: any argv[2], or none
  OperandAt operands[kMaxOperandsPerForm];
  bool on;
  bool waitAfterReset;
  const char* operation;  // the operation's name, for readers and tests
  OperationRunner run;
};

// What the dispatcher decided for one argument vector.
struct Selection {
  const CommandForm* form;  // nullptr: the dispatcher ends the run itself
  int status;               // then: kStatusUsage, or kStatusInvalidOperand with message
  const char* message;
  bool fruCommand;          // the command word was "-fru" or "-fru1"
  bool fru1Mode;            // ... and it was "-fru1"
  Operands operands;
};

// Matches the command word and argument count against the command table and
// makes the dispatcher's own operand checks, in the table's order; the first
// failing check decides. Prints nothing.
Selection SelectCommand(int argc, char* argv[]);

// Every row, for tests and documentation.
struct CommandTable {
  const CommandForm* forms;
  int count;
};
CommandTable AllCommandForms();
