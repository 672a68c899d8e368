// The command table: from the argument vector to the one operation a run
// performs. Each command form is one row: its command word, the arguments it
// takes after the word, how its sub-word (the first of them) is matched, the
// operands it reads (by kind and position, with the dispatcher's own checks)
// and the operation it runs.
#pragma once

#include <cstdint>
#include <span>

struct RunState;

// The operands a form hands to its operation, by name; a form fills only those
// it lists. Positions count from the command word: 1 is the word after it.
struct Operands {
  bool on;              // the sub-word is "on" (DHCP, gratuitous ARP, VLAN)
  bool waitAfterReset;  // the sub-word is "-d": wait until the BMC answers again
  bool fru1Mode;        // the command word is "-fru1": FRU device 1 and its board version
  int vlanTag;          // 1..4094, or 0: keep the tag the BMC holds
  uint8_t fanMode;      // 0..4
  uint8_t userId;       // 0..255
  uint8_t privilege;    // 0..255
  const char* text;     // an address, a field value
  const char* userName;
  const char* password;
  const char* fileName;
  const char* code;                   // a FRU field or update code, as typed
  std::span<char* const> rawRequest;  // -raw: NetFn, command and data bytes, as typed
};

// What an operand is, which says how the dispatcher reads and checks it.
enum class OperandKind : uint8_t {
  None,    // ends the list
  Switch,  // "on" or "off": Operands::on
  Wait,    // "-d": Operands::waitAfterReset
  Text,    // handed on as typed
  UserName,
  Password,
  FileName,
  Code,
  UserId,     // decimal 0..255, else "Invalid parameters." and 12
  Privilege,  // decimal 0..255, else "Invalid parameters." and 12
  VlanTag,    // decimal, else usage; outside 1..4094 the VLAN tag message and 12
  FanMode,    // decimal, else usage; above 4 (unsigned) "Invalid mode." and 12
  RawBytes,   // this argument and all after it: Operands::rawRequest
};

struct OperandAt {
  OperandKind kind;
  uint8_t position;  // from the command word
};

// How the sub-word is matched; both null: any word, or none.
struct SubWordRule {
  const char* exact;                                 // compared whole, case-sensitively
  bool (*matches)(const char* word, bool fru1Mode);  // or tested by this
};

// The arguments a form takes after its command word.
struct ArgumentCount {
  int min;
  int max;
};

// The operation a form runs: its name (for readers and tests) and its call,
// made together by TOLVANE_OPERATION so that they cannot part.
struct Operation {
  const char* name;
  int (*run)(RunState& run, const Operands& operands);
};
// TOLVANE_OPERATION(SetVlan, o.on, o.vlanTag): the operation named SetVlan,
// called with those arguments; `run` (the RunState) and `o` (the Operands) are
// in scope for them.
#define TOLVANE_OPERATION(function, ...)                                                       \
  Operation {                                                                                  \
#function, []([[maybe_unused]] RunState & run,                                             \
                  [[maybe_unused]] const Operands& o) -> int { return function(__VA_ARGS__); } \
  }

inline constexpr int kMaxOperandsPerForm = 4;

// A row of the command table, written with designated initializers; a row
// leaves out the sub-word rule (any word) and the operands (none) it does not
// need.
struct CommandForm {
  const char* word;
  ArgumentCount arguments;
  SubWordRule subWord = {};
  OperandAt operands[kMaxOperandsPerForm] = {};
  Operation operation;
};

// What the dispatcher decided for one argument vector.
struct Selection {
  const CommandForm* form;  // nullptr: the dispatcher ends the run itself
  int status;               // then: kStatusUsage, or kStatusInvalidOperand with message
  const char* message;
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
