#include "fuzz/scripted_bmc.hpp"

namespace fuzz {

namespace {

enum class Bend : uint8_t { None, CompletionCode, Truncate, Extend, ChangeByte, RawFrame, Silence };
constexpr Bend kBends[] = {Bend::None,   Bend::None,       Bend::None,     Bend::CompletionCode, Bend::Truncate,
                           Bend::Extend, Bend::ChangeByte, Bend::RawFrame, Bend::Silence,        Bend::None};

constexpr size_t kHeaderBytes = 3;  // NetFn/LUN, command, completion code

}  // namespace

KcsFaults FuzzedKcsFaults(FuzzInput& input) {
  KcsFaults faults;
  const uint8_t kind = input.Byte();
  if (kind < 0x80) return faults;  // most inputs: an interface without faults
  faults.onTransfer = input.Below(8);
  switch (kind % 9) {
    case 0:
      faults.ibfHoldReads = input.Below(64);
      break;
    case 1:
      faults.responseDelayReads = input.Below(64);
      break;
    case 2:
      faults.forceStateAt = static_cast<KcsPhase>(1 + input.Below(4));
      faults.forcedState = static_cast<KcsStateCode>(input.Below(4));
      break;
    case 3:
      faults.idleWithoutResponse = true;
      break;
    case 4:
      faults.leadingZeroBytes = input.Word() % 700;
      break;
    case 5:
      faults.obfNeverSet = true;
      break;
    case 6:
      faults.obfLateReads = input.Below(120);
      faults.obfLateAfterByte = input.Below(24);
      break;
    case 7: {
      // A whole response frame of any length, in place of the BMC's answer.
      const std::vector<uint8_t> frame = input.Bytes(260);
      faults.responseFrame = frame;
      break;
    }
    default:
      break;
  }
  return faults;
}

ScriptedBmc::ScriptedBmc(const Scenario& scenario, FuzzInput& script, const VirtualClock* clock)
    : model_(scenario, clock),
      script_(script),
      kcs_([this](std::span<const uint8_t> frame) { return Answer(frame); }, scenario.kcs,
           [this] { return model_.Answering(); }) {
  kcs_.RecordTrace(false);
}

std::optional<std::vector<uint8_t>> ScriptedBmc::Answer(std::span<const uint8_t> frame) {
  std::optional<std::vector<uint8_t>> answer = model_.HandleFrame(frame);
  if (script_.Empty() || !answer) return answer;
  std::vector<uint8_t>& bytes = *answer;
  switch (kBends[script_.Below(sizeof kBends)]) {
    case Bend::None:
      break;
    case Bend::CompletionCode:
      if (bytes.size() >= kHeaderBytes) bytes[2] = script_.Byte();
      break;
    case Bend::Truncate:
      bytes.resize(script_.Below(static_cast<unsigned>(bytes.size()) + 1));
      break;
    case Bend::Extend: {
      const std::vector<uint8_t> more = script_.Bytes(220);
      bytes.insert(bytes.end(), more.begin(), more.end());
      break;
    }
    case Bend::ChangeByte:
      if (!bytes.empty()) bytes[script_.Below(static_cast<unsigned>(bytes.size()))] = script_.Byte();
      break;
    case Bend::RawFrame:
      return script_.Bytes(220);
    case Bend::Silence:
      return std::nullopt;
  }
  return answer;
}

}  // namespace fuzz
