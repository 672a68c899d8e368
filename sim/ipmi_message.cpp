#include "sim/ipmi_message.hpp"

#include <cstdio>
#include <sstream>

bool IpmiMessage::FromFrame(std::span<const uint8_t> frame, IpmiMessage* message) {
  if (frame.size() < 2) return false;
  message->netFn = static_cast<uint8_t>(frame[0] >> 2);
  message->lun = static_cast<uint8_t>(frame[0] & 0x03);
  message->cmd = frame[1];
  message->data.assign(frame.begin() + 2, frame.end());
  return true;
}

std::vector<uint8_t> ResponseFrame(const IpmiMessage& request, const IpmiReply& reply) {
  std::vector<uint8_t> frame;
  frame.reserve(3 + reply.data.size());
  // A response's network function is the request's with bit 0 set (IPMI 2.0 section 5.1).
  frame.push_back(static_cast<uint8_t>(((request.netFn | 1u) << 2) | request.lun));
  frame.push_back(request.cmd);
  frame.push_back(reply.completionCode);
  frame.insert(frame.end(), reply.data.begin(), reply.data.end());
  return frame;
}

std::string HexBytesText(std::span<const uint8_t> bytes) {
  std::string text;
  char pair[4];
  for (uint8_t byte : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", byte);
    if (!text.empty()) text += ' ';
    text += pair;
  }
  return text;
}

std::string RequestText(const IpmiMessage& message) {
  std::vector<uint8_t> bytes{message.netFn, message.cmd};
  bytes.insert(bytes.end(), message.data.begin(), message.data.end());
  return HexBytesText(bytes);
}

bool ParseHexBytes(const std::string& text, std::vector<uint8_t>* bytes) {
  std::istringstream in(text);
  std::string word;
  std::vector<uint8_t> parsed;
  while (in >> word) {
    if (word.size() > 2) return false;
    unsigned value = 0;
    for (char c : word) {
      const int digit = (c >= '0' && c <= '9')   ? c - '0'
                        : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                        : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                 : -1;
      if (digit < 0) return false;
      value = value * 16 + static_cast<unsigned>(digit);
    }
    parsed.push_back(static_cast<uint8_t>(value));
  }
  *bytes = std::move(parsed);
  return true;
}
