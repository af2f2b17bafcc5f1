// Single-byte text helpers. The system's texts are bytes; case folding and
// case-insensitive comparison touch ASCII letters only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex {

inline char ToUpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline char ToLowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string ToUpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = ToUpperAscii(c);
  return upper;
}

inline bool EqualsIgnoreCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ToUpperAscii(a[i]) != ToUpperAscii(b[i])) return false;
  }
  return true;
}

// Orders texts as strcasecmp does: bytes compared unsigned after ASCII
// letters are folded to small letters. Below 0, 0 or above 0.
int CompareIgnoreCaseAscii(std::string_view a, std::string_view b);

// True when the text holds a byte below 0x20 or the byte 0x7F.
inline bool HoldsControlCharacter(std::string_view text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return true;
  }
  return false;
}

// Decimal conversion in the manner of the C library's atoi: leading blanks
// skipped, an optional sign, then digits up to the first other character.
// No digits give 0. The value wraps like an unsigned 32-bit accumulator.
std::int32_t ParseDecimal(std::string_view text);

}  // namespace tarvex
