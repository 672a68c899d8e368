// What a simulated BMC starts from: its state and the faults it injects. Kept in
// JSON files (see scenarios/ and docs/simulator.md) and written back by the host tool so
// that the BMC's state lasts from one run to the next.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "sim/controller_state.hpp"
#include "sim/fru_state.hpp"
#include "sim/lan_state.hpp"
#include "sim/sdr_state.hpp"
#include "sim/sel_state.hpp"
#include "sim/user_state.hpp"

// The BMC's own data.
struct BmcState {
  std::vector<uint8_t> deviceId;    // Get Device ID response data (after the completion code)
  std::vector<uint8_t> systemGuid;  // Get System GUID response data, 16 bytes
  std::vector<uint8_t> selfTest;    // Get Self Test Results response data
  LanState lan;
  ControllerState controller;
  UserState users;
  SdrState sdr;
  SelState sel;
  FruState fru;
};

// Answers a request with a completion code instead of handling it. netFn and cmd
// empty match any request, and a request matches only when its data start with
// dataPrefix; nth 0 applies to every matching request, n to the n-th matching one
// only (counted from 1 over the BMC's life in this run).
struct CompletionCodeFault {
  std::optional<uint8_t> netFn;
  std::optional<uint8_t> cmd;
  std::vector<uint8_t> dataPrefix;
  unsigned nth = 0;
  uint8_t completionCode = 0;
};

// Faults of the KCS interface itself (the BMC side of the registers).
// Where a forced interface state takes over: after WRITE_START, after a data byte
// of the write phase, after WRITE_END, or once the request is complete.
enum class KcsPhase : uint8_t { None, WriteStart, DataByte, WriteEnd, ReadPhase };
// Interface states as the status register shows them (bits 7:6).
enum class KcsStateCode : uint8_t { Idle = 0, Read = 1, Write = 2, Error = 3 };

struct KcsFaults {
  unsigned onTransfer = 0;                 // 0: every transfer; n: only the n-th (from 1)
  unsigned ibfHoldReads = 0;               // IBF stays set for this many status reads after each write
  unsigned responseDelayReads = 0;         // IBF stays set this many reads after the last request byte
  KcsPhase forceStateAt = KcsPhase::None;  // the interface shows forcedState from there on
  KcsStateCode forcedState = KcsStateCode::Error;
  bool idleWithoutResponse = false;  // goes idle after the request without sending anything
  unsigned leadingZeroBytes = 0;     // 00h bytes offered before the response
  bool obfNeverSet = false;          // READ state, but no byte ever offered
  // The response byte after the first obfLateAfterByte ones (0: the first byte; the
  // response length: going idle) is offered late: OBF stays clear, in READ state,
  // for obfLateReads status reads after the byte before it was taken (after the
  // last request byte, for the first one) and is set from the next read on.
  unsigned obfLateReads = 0;
  unsigned obfLateAfterByte = 0;
  std::optional<std::vector<uint8_t>> responseFrame;  // sent instead of the model's answer
};

struct Scenario {
  BmcState state;
  std::vector<CompletionCodeFault> completionCodes;
  KcsFaults kcs;
};

// The BMC a fresh host tool talks to.
Scenario DefaultScenario();

// Reading fills missing keys from DefaultScenario(); a malformed file is reported
// through *error and gives false. Files a scenario names are found relative to
// baseDirectory (LoadScenarioFile: the scenario file's directory).
bool ScenarioFromJson(const nlohmann::json& json, Scenario* scenario, std::string* error,
                      const std::string& baseDirectory = "");
bool LoadScenarioFile(const std::string& path, Scenario* scenario, std::string* error);
nlohmann::json ScenarioToJson(const Scenario& scenario);
bool SaveScenarioFile(const std::string& path, const Scenario& scenario, std::string* error);
