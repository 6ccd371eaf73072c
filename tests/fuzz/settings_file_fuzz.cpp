// The settings file reader and writer on random file bytes and random
// sequences of reads and writes: no crash, no hang, the file on disk always
// equals the in-memory edit, and a write of one key leaves every other key's
// value as it was and reads back as written.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "saver/settings/profile.h"

namespace p = sorvane::saver::profile;

namespace {

// Names the operations pick from: the program's own, case variants, a
// code page 932 pair that differs only in its trail byte, odd spacing.
const char* const kSections[] = {"Section", "SECTION", "sect ion", "\x83\x41", "\x83\x61", "", "S"};
const char* const kKeys[] = {"BGM\x8B\xE6\x95\xAA", "BGM\xD8\xCB\xDF\xB0\xC4", "BGM\xCC\xA7\xB2\xD9",
                             "bgm\x8B\xE6\x95\xAA", "k", "K", ";k", "a b", "\x83\x41", "\x83\x61"};
constexpr size_t kSectionCount = sizeof kSections / sizeof *kSections;
constexpr size_t kKeyCount = sizeof kKeys / sizeof *kKeys;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A value the reader hands back unchanged: no line breaks, no NUL, nothing
// trimmed at either end, not wrapped in a pair of quotes.
bool ReadsBackAsWritten(const std::string& v) {
  for (char c : v)
    if (c == '\r' || c == '\n' || c == '\0') return false;
  const auto trimmed = [](char c) { return c == ' ' || c == '\t' || (c >= 0x0A && c <= 0x0D) || c == 0x1A; };
  if (!v.empty() && (trimmed(v.front()) || trimmed(v.back()))) return false;
  if (v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\'')) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Layout: [file length byte][file bytes][operations...]
  if (size == 0) return 0;
  size_t fileLen = data[0];
  size_t at = 1;
  if (fileLen > size - at) fileLen = size - at;
  std::string contents(reinterpret_cast<const char*>(data + at), fileLen);
  at += fileLen;

  static const std::string path = "/tmp/sorvane-fuzz-" + std::to_string(getpid()) + ".ini";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), std::streamsize(contents.size()));
  }

  while (at + 3 <= size) {
    const bool write = data[at] & 1;
    const char* section = kSections[data[at + 1] % kSectionCount];
    const char* key = kKeys[data[at + 2] % kKeyCount];
    at += 3;
    if (!write) {
      const std::optional<std::string> v = p::Lookup(contents, section, key);
      if (p::GetString(path, section, key) != (v ? v->substr(0, v->find('\0')) : std::string())) __builtin_trap();
      continue;
    }
    size_t len = at < size ? data[at++] % 24 : 0;
    if (len > size - at) len = size - at;
    std::string value(reinterpret_cast<const char*>(data + at), len);
    at += len;
    for (char& c : value)
      if (c == '\r' || c == '\n') c = '_';  // values never hold line breaks

    std::optional<std::string> before[kSectionCount][kKeyCount];
    for (size_t s = 0; s < kSectionCount; ++s)
      for (size_t k = 0; k < kKeyCount; ++k) before[s][k] = p::Lookup(contents, kSections[s], kKeys[k]);

    p::Update(&contents, section, key, value);
    if (!p::WriteString(path, section, key, value)) __builtin_trap();
    if (ReadAll(path) != contents) __builtin_trap();

    for (size_t s = 0; s < kSectionCount; ++s) {
      for (size_t k = 0; k < kKeyCount; ++k) {
        const bool same = p::NamesMatch(kSections[s], section) && p::NamesMatch(kKeys[k], key);
        const std::optional<std::string> after = p::Lookup(contents, kSections[s], kKeys[k]);
        if (!same && after != before[s][k]) __builtin_trap();
        if (same && ReadsBackAsWritten(value) && after != value) __builtin_trap();
      }
    }
  }
  return 0;
}
