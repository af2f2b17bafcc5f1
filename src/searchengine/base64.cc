#include "searchengine/base64.h"

#include <array>
#include <cstdint>

namespace tarvex {
namespace {

constexpr std::array<std::int8_t, 256> MakeTable() {
  std::array<std::int8_t, 256> table{};
  for (auto& entry : table) entry = -1;
  const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(alphabet[i])] = static_cast<std::int8_t>(i);
  return table;
}

constexpr std::array<std::int8_t, 256> kValues = MakeTable();

}  // namespace

std::optional<std::string> DecodeBase64(std::string_view text) {
  // Up to two padding characters close a whole group; any other "=" is not
  // in the alphabet and refused below.
  if (!text.empty() && text.size() % 4 == 0) {
    for (int pad = 0; pad < 2 && text.back() == '='; ++pad) text.remove_suffix(1);
  }
  if (text.size() % 4 == 1) return std::nullopt;
  std::string out;
  out.reserve(text.size() * 3 / 4);
  std::uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    const std::int8_t value = kValues[static_cast<unsigned char>(c)];
    if (value < 0) return std::nullopt;
    bits = (bits << 6) | static_cast<std::uint32_t>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return out;
}

}  // namespace tarvex
