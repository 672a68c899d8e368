// Hand-made SMBIOS tables for the tests: structures, entry points with their
// checksums, and a scratch directory to run the dump and the update in.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A structure whose formatted area is the 4-byte header and fields, followed by
// the strings (an empty list: just the double NUL).
inline Bytes SmbiosStructureBytes(uint8_t type, uint16_t handle, const Bytes& fields,
                                  const std::vector<std::string>& strings) {
  Bytes out = {type, static_cast<uint8_t>(4 + fields.size()), static_cast<uint8_t>(handle),
               static_cast<uint8_t>(handle >> 8)};
  out.insert(out.end(), fields.begin(), fields.end());
  for (const std::string& text : strings) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
  }
  if (strings.empty()) out.push_back(0);
  out.push_back(0);
  return out;
}

// Types 1 and 2: string numbers 1-4 at 04h-07h; type 3: 04h manufacturer, 05h
// the chassis type byte, 06h version, 07h serial number. An empty text is string
// number 0 and is left out of the set.
inline Bytes SmbiosStringStructure(uint8_t type, const std::vector<std::string>& texts) {
  Bytes fields;
  std::vector<std::string> strings;
  for (const std::string& text : texts) {
    if (type == 3 && fields.size() == 1) fields.push_back(0x17);  // Rack Mount Chassis
    if (text.empty()) {
      fields.push_back(0);
    } else {
      strings.push_back(text);
      fields.push_back(static_cast<uint8_t>(strings.size()));
    }
  }
  return SmbiosStructureBytes(type, static_cast<uint16_t>(type << 8), fields, strings);
}

inline Bytes SmbiosEndOfTable() { return SmbiosStructureBytes(127, 0x7F00, {}, {}); }

inline Bytes Joined(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

inline void FixChecksum(Bytes* bytes, size_t from, size_t count, size_t at) {
  uint8_t sum = 0;
  (*bytes)[at] = 0;
  for (size_t i = from; i < from + count; ++i) sum = static_cast<uint8_t>(sum + (*bytes)[i]);
  (*bytes)[at] = static_cast<uint8_t>(0x100 - sum);
}

// "_SM_" 2.x entry point, 1Fh bytes.
inline Bytes SmbiosEntryPoint2(uint32_t address, uint16_t length, uint8_t major = 2, uint8_t minor = 8) {
  Bytes e(0x1F, 0);
  e[0] = '_', e[1] = 'S', e[2] = 'M', e[3] = '_';
  e[5] = 0x1F, e[6] = major, e[7] = minor, e[8] = 0x40;
  e[0x10] = '_', e[0x11] = 'D', e[0x12] = 'M', e[0x13] = 'I', e[0x14] = '_';
  e[0x16] = static_cast<uint8_t>(length), e[0x17] = static_cast<uint8_t>(length >> 8);
  for (int i = 0; i < 4; ++i) e[0x18 + i] = static_cast<uint8_t>(address >> (8 * i));
  e[0x1C] = 9, e[0x1E] = static_cast<uint8_t>((major << 4) | minor);
  FixChecksum(&e, 0x10, 0x0F, 0x15);
  FixChecksum(&e, 0, 0x1F, 4);
  return e;
}

// "_SM3_" 3.x entry point, 18h bytes.
inline Bytes SmbiosEntryPoint3(uint64_t address, uint32_t maximumSize, uint8_t major = 3, uint8_t minor = 0) {
  Bytes e(0x18, 0);
  e[0] = '_', e[1] = 'S', e[2] = 'M', e[3] = '3', e[4] = '_';
  e[6] = 0x18, e[7] = major, e[8] = minor, e[0x0A] = 1;
  for (int i = 0; i < 4; ++i) e[0x0C + i] = static_cast<uint8_t>(maximumSize >> (8 * i));
  for (int i = 0; i < 8; ++i) e[0x10 + i] = static_cast<uint8_t>(address >> (8 * i));
  FixChecksum(&e, 0, 0x18, 5);
  return e;
}

// A fresh directory that the test runs in (the dump and the update use the
// current directory); removed again, with the previous directory restored.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    char* made = mkdtemp(path_.data());
    previous_ = getcwd(nullptr, 0);
    if (made == nullptr || chdir(path_.c_str()) != 0) std::abort();
  }
  ~ScratchDirectory() {
    if (chdir(previous_) != 0) std::abort();
    std::free(previous_);
    std::system(("rm -rf " + path_).c_str());
  }
  std::string Path(const std::string& name) const { return path_ + "/" + name; }

  static void Write(const std::string& name, const Bytes& bytes) {
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  static void Write(const std::string& name, const std::string& text) { Write(name, Bytes(text.begin(), text.end())); }
  // The whole file, or "<missing>".
  static std::string Read(const std::string& name) {
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (file == nullptr) return "<missing>";
    std::string text;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
    std::fclose(file);
    return text;
  }

 private:
  std::string path_ = testing::TempDir() + "tolvane_smbios_XXXXXX";
  char* previous_ = nullptr;
};
