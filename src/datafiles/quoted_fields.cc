#include "datafiles/quoted_fields.h"

#include <cstdint>

namespace tarvex {

bool SplitQuotedFields(std::string_view line, std::vector<std::string>* fields) {
  fields->clear();
  std::size_t i = 0;
  for (;;) {
    if (i >= line.size() || line[i] != '"') return false;
    std::string field;
    for (++i;; ++i) {
      if (i >= line.size()) return false;  // never closed
      if (line[i] != '"') {
        field.push_back(line[i]);
        continue;
      }
      if (i + 1 == line.size()) {  // the closing quote of the last field
        fields->push_back(std::move(field));
        return true;
      }
      if (line[i + 1] == ',') {
        fields->push_back(std::move(field));
        i += 2;
        break;
      }
      field.push_back('"');
      if (line[i + 1] == '"') ++i;
    }
  }
}

bool IsQuotableText(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') return false;
    if (text[i] != '"') continue;
    if (i + 1 == text.size()) return false;
    const char next = text[i + 1];
    if (next == ',' || next == '"' || next == '\r' || next == '\n') return false;
  }
  return true;
}

bool ParseRecordId(std::string_view field, std::uint32_t* id) {
  if (field.empty() || field.size() > 10) return false;
  std::uint64_t value = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value > UINT32_MAX) return false;
  *id = static_cast<std::uint32_t>(value);
  return true;
}

}  // namespace tarvex
