#include "search/xml_text.h"

#include <cstdint>

#include "common/utf8.h"

namespace tarvex {
namespace {

// The character a numeric reference's digits name ("38" or "x26"); 0 when
// they name none.
std::uint32_t NumericReference(std::string_view digits) {
  int base = 10;
  if (!digits.empty() && (digits[0] == 'x' || digits[0] == 'X')) {
    base = 16;
    digits.remove_prefix(1);
  }
  if (digits.empty() || digits.size() > 8) return 0;
  std::uint32_t code = 0;
  for (char c : digits) {
    int value;
    if (c >= '0' && c <= '9') value = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') value = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') value = c - 'A' + 10;
    else return 0;
    code = code * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(value);
  }
  if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return code;
}

}  // namespace

std::string EscapeXmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string DecodeXmlReferences(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t amp = text.find('&', i);
    if (amp == std::string_view::npos) break;
    out.append(text.substr(i, amp - i));
    const std::size_t semicolon = text.find(';', amp + 1);
    if (semicolon == std::string_view::npos) {
      i = amp;
      break;
    }
    const std::string_view name = text.substr(amp + 1, semicolon - amp - 1);
    std::uint32_t code = 0;
    if (name == "amp") code = '&';
    else if (name == "lt") code = '<';
    else if (name == "gt") code = '>';
    else if (name == "quot") code = '"';
    else if (name == "apos") code = '\'';
    else if (!name.empty() && name[0] == '#') code = NumericReference(name.substr(1));
    if (code == 0) {
      out += '&';
      i = amp + 1;
      continue;
    }
    AppendUtf8(out, code);
    i = semicolon + 1;
  }
  out.append(text.substr(i));
  return out;
}

}  // namespace tarvex
