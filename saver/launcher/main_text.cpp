#include "saver/launcher/main_text.h"

#include <vector>

namespace sorvane::saver {
namespace {

// Start offsets of the characters of `text`. A lead byte at the very end
// counts as a character of its own.
std::vector<std::size_t> CharStarts(const std::string& text) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < text.size();) {
    starts.push_back(i);
    i += (IsCp932LeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
  }
  return starts;
}

}  // namespace

bool IsCp932LeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::string Cp932From(const std::string& text, std::size_t first) {
  const auto starts = CharStarts(text);
  if (first >= starts.size()) return std::string();
  return text.substr(starts[first]);
}

std::string Cp932CharAt(const std::string& text, std::size_t index) {
  const auto starts = CharStarts(text);
  if (index >= starts.size()) return std::string();
  const std::size_t end = index + 1 < starts.size() ? starts[index + 1] : text.size();
  return text.substr(starts[index], end - starts[index]);
}

std::string Cp932Right(const std::string& text, std::size_t count) {
  const auto starts = CharStarts(text);
  if (count >= starts.size()) return text;
  return text.substr(starts[starts.size() - count]);
}

std::string UpperAscii(std::string text) {
  // Only single-byte characters: a trail byte may look like a Latin letter.
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsCp932LeadByte(c) && i + 1 < text.size()) {
      ++i;
    } else if (c >= 'a' && c <= 'z') {
      text[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
  return text;
}

}  // namespace sorvane::saver
