// The external-BMC wire format against byte sequences QEMU really sends and
// accepts: if any of these drift, QEMU drops the response and the guest's KCS
// interface stays busy.
#include "sim/server/vm_codec.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct EncodeCase {
  const char* name;
  uint8_t seq;
  Bytes payload;
  Bytes wire;
};

// Responses as QEMU must receive them.
const EncodeCase kEncodeCases[] = {
    // Get Device ID response header only: 1C 01 00, checksum E3.
    {"plain", 0x00, {0x1C, 0x01, 0x00}, {0x00, 0x1C, 0x01, 0x00, 0xE3, 0xA0}},
    // seq A0h must be escaped (QEMU's seq counter passes through A0h..AAh).
    {"seq escaped", 0xA0, {0x1C, 0x01, 0x00}, {0xAA, 0xB0, 0x1C, 0x01, 0x00, 0x43, 0xA0}},
    // Data bytes A1h and AAh are escaped too.
    {"data escaped",
     0x05,
     {0x1C, 0x01, 0x00, 0xA1, 0xAA},
     {0x05, 0x1C, 0x01, 0x00, 0xAA, 0xB1, 0xAA, 0xBA, 0x93, 0xA0}},
    // The checksum itself can be a marker byte: 01 + 5F = 60, checksum A0h.
    {"checksum escaped", 0x01, {0x5F}, {0x01, 0x5F, 0xAA, 0xB0, 0xA0}},
};

TEST(VmCodecEncode, MessagesMatchWireBytes) {
  for (const auto& c : kEncodeCases) {
    EXPECT_EQ(vmcodec::EncodeMessage(c.seq, c.payload), c.wire) << c.name;
  }
}

TEST(VmCodecEncode, ControlVersionAnnouncement) {
  // What a BMC may send at connect: version 1.
  EXPECT_EQ(vmcodec::EncodeControl(Bytes{0xFF, 0x01}), (Bytes{0xFF, 0x01, 0xA1}));
  EXPECT_EQ(vmcodec::EncodeControl(Bytes{0xA0}), (Bytes{0xAA, 0xB0, 0xA1}));
}

struct DecodeCase {
  const char* name;
  Bytes stream;
  std::vector<vmcodec::Frame::Kind> kinds;
  std::vector<Bytes> frames;
  unsigned dropped;
};

using K = vmcodec::Frame::Kind;

const DecodeCase kDecodeCases[] = {
    // QEMU's connect handshake: version 1, then capabilities 3Fh.
    {"handshake", {0xFF, 0x01, 0xA1, 0x08, 0x3F, 0xA1}, {K::Control, K::Control}, {{0xFF, 0x01}, {0x08, 0x3F}}, 0},
    // A Get Device ID request exactly as QEMU puts it on the wire.
    {"get device id", {0x00, 0x18, 0x01, 0xE7, 0xA0}, {K::Message}, {{0x00, 0x18, 0x01, 0xE7}}, 0},
    {"escapes undone", {0xAA, 0xB0, 0xAA, 0xB1, 0xAA, 0xBA, 0xA0}, {K::Message}, {{0xA0, 0xA1, 0xAA}}, 0},
    // An end marker right after the escape byte: the frame is corrupt and dropped,
    // and the next frame is decoded normally.
    {"broken escape", {0x01, 0xAA, 0xA0, 0x02, 0xA0}, {K::Message}, {{0x02}}, 1},
    {"empty frame", {0xA0}, {K::Message}, {{}}, 0},
    {"no end yet", {0x00, 0x18, 0x01}, {}, {}, 0},
};

TEST(VmCodecDecode, SplitsStreamIntoFrames) {
  for (const auto& c : kDecodeCases) {
    vmcodec::Decoder decoder;
    std::vector<vmcodec::Frame> frames;
    decoder.Feed(c.stream, &frames);
    ASSERT_EQ(frames.size(), c.frames.size()) << c.name;
    for (size_t i = 0; i < frames.size(); ++i) {
      EXPECT_EQ(frames[i].kind, c.kinds[i]) << c.name << " frame " << i;
      EXPECT_EQ(frames[i].bytes, c.frames[i]) << c.name << " frame " << i;
    }
    EXPECT_EQ(decoder.DroppedFrames(), c.dropped) << c.name;
  }
}

TEST(VmCodecDecode, StreamCutAtEveryByteGivesSameFrames) {
  // TCP may deliver a frame in pieces, an escape pair split across two reads
  // included; the result must not depend on where the cut falls.
  const Bytes wire = vmcodec::EncodeMessage(0xAA, Bytes{0x18, 0xA0, 0xA1, 0xAA, 0x00});
  for (size_t cut = 0; cut <= wire.size(); ++cut) {
    vmcodec::Decoder decoder;
    std::vector<vmcodec::Frame> frames;
    decoder.Feed(std::span(wire).first(cut), &frames);
    decoder.Feed(std::span(wire).subspan(cut), &frames);
    ASSERT_EQ(frames.size(), 1u) << "cut " << cut;
    vmcodec::Request request;
    ASSERT_EQ(vmcodec::ParseRequest(frames[0].bytes, &request), vmcodec::RequestError::None) << "cut " << cut;
    EXPECT_EQ(request.seq, 0xAA);
    EXPECT_EQ(request.kcsFrame, (Bytes{0x18, 0xA0, 0xA1, 0xAA, 0x00})) << "cut " << cut;
  }
}

TEST(VmCodecDecode, OverlongFrameDroppedWhole) {
  Bytes stream(vmcodec::kMaxFrameBytes + 1, 0x11);
  stream.push_back(0xA0);
  const Bytes next = {0x00, 0x18, 0x01, 0xE7, 0xA0};
  stream.insert(stream.end(), next.begin(), next.end());
  vmcodec::Decoder decoder;
  std::vector<vmcodec::Frame> frames;
  decoder.Feed(stream, &frames);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].bytes, (Bytes{0x00, 0x18, 0x01, 0xE7}));
  EXPECT_EQ(decoder.DroppedFrames(), 1u);
}

struct ParseCase {
  const char* name;
  Bytes frame;
  vmcodec::RequestError error;
  uint8_t seq;
  Bytes kcsFrame;
};

const ParseCase kParseCases[] = {
    {"get device id", {0x00, 0x18, 0x01, 0xE7}, vmcodec::RequestError::None, 0x00, {0x18, 0x01}},
    {"with data", {0x07, 0x18, 0x38, 0x8E, 0x04, 0x17}, vmcodec::RequestError::None, 0x07, {0x18, 0x38, 0x8E, 0x04}},
    {"bad checksum", {0x00, 0x18, 0x01, 0xE6}, vmcodec::RequestError::BadChecksum, 0, {}},
    {"too short", {0x00, 0x18, 0xE8}, vmcodec::RequestError::TooShort, 0, {}},
};

TEST(VmCodecParse, ChecksLengthAndChecksum) {
  for (const auto& c : kParseCases) {
    vmcodec::Request request;
    ASSERT_EQ(vmcodec::ParseRequest(c.frame, &request), c.error) << c.name;
    if (c.error != vmcodec::RequestError::None) continue;
    EXPECT_EQ(request.seq, c.seq) << c.name;
    EXPECT_EQ(request.kcsFrame, c.kcsFrame) << c.name;
  }
}

TEST(VmCodecRoundTrip, EveryByteValueSurvives) {
  Bytes payload;
  for (int v = 0; v < 256; ++v) payload.push_back(static_cast<uint8_t>(v));
  for (int seq = 0; seq < 256; ++seq) {
    const Bytes wire = vmcodec::EncodeMessage(static_cast<uint8_t>(seq), payload);
    // No unescaped end marker before the last byte.
    for (size_t i = 0; i + 1 < wire.size(); ++i) {
      ASSERT_NE(wire[i], vmcodec::kMessageEnd) << "seq " << seq << " at " << i;
      ASSERT_NE(wire[i], vmcodec::kControlEnd) << "seq " << seq << " at " << i;
    }
    vmcodec::Decoder decoder;
    std::vector<vmcodec::Frame> frames;
    decoder.Feed(wire, &frames);
    ASSERT_EQ(frames.size(), 1u);
    vmcodec::Request request;
    ASSERT_EQ(vmcodec::ParseRequest(frames[0].bytes, &request), vmcodec::RequestError::None);
    EXPECT_EQ(request.seq, seq);
    EXPECT_EQ(request.kcsFrame, payload);
  }
}

}  // namespace
