// The BMC side of the IPMI KCS system interface (IPMI 2.0 section 9): the data
// and status/command registers, the IDLE/READ/WRITE/ERROR states, IBF and OBF,
// driven by the tool's port reads and writes. Request frames go to a responder
// (normally BmcModel::HandleFrame); the faults of KcsFaults are injected here.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "sim/scenario.hpp"

inline constexpr uint16_t kKcsDataPort = 0xCA2;
inline constexpr uint16_t kKcsStatusPort = 0xCA3;

class KcsDevice {
 public:
  using Responder = std::function<std::optional<std::vector<uint8_t>>(std::span<const uint8_t>)>;
  // Whether the BMC behind the interface runs (false while it restarts).
  using Running = std::function<bool()>;

  // Without running, a request the responder leaves unanswered keeps IBF set for
  // good; with it, until the BMC runs again and starts its interface afresh.
  KcsDevice(Responder responder, KcsFaults faults, Running running = {});

  uint8_t Read(uint16_t port);
  void Write(uint16_t port, uint8_t value);

  // What the tool did, for tests and measurements.
  struct Counters {
    unsigned statusReads = 0;
    unsigned transfers = 0;      // WRITE_START codes seen
    unsigned longestIbfRun = 0;  // most consecutive status reads that showed IBF set
  };
  const Counters& Stats() const { return counters_; }

  // Every port access in order, e.g. "W CA3 61", "R CA2 1C"; status reads are not
  // recorded (their number depends on timing, not on the protocol).
  const std::vector<std::string>& PortTrace() const { return trace_; }
  // Whether PortTrace records (on by default; off where only speed matters).
  void RecordTrace(bool record) { recordTrace_ = record; }

 private:
  enum class State : uint8_t { Idle = 0, Read = 1, Write = 2, Error = 3 };
  enum class Phase : uint8_t { Idle, Writing, LastByte, Responding, Done, Unanswered };

  bool FaultActive() const;
  void ReachPhase(KcsPhase phase);
  void StartResponse();
  void OfferNextByte();
  void HoldIbf(unsigned reads);

  Responder responder_;
  Running running_;
  KcsFaults faults_;
  State state_ = State::Idle;
  Phase phase_ = Phase::Idle;
  bool obf_ = false;
  bool stateForced_ = false;  // the status register shows faults_.forcedState
  unsigned ibfReads_ = 0;     // status reads still to show IBF set
  unsigned ibfRun_ = 0;
  uint8_t dataOut_ = 0;
  std::vector<uint8_t> request_;
  std::vector<uint8_t> response_;
  size_t responseNext_ = 0;
  unsigned zerosLeft_ = 0;
  std::optional<size_t> lateByte_;  // this transfer's response byte (index) offered late
  unsigned lateReads_ = 0;          // status reads still to show OBF clear before it
  Counters counters_;
  std::vector<std::string> trace_;
  bool recordTrace_ = true;
};
