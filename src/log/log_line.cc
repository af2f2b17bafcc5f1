#include "log/log_line.h"

namespace tarvex {

std::string FormatLine(const LogRecord& record) {
  const int count = record.FieldCount();
  if (count < 1) return std::string();
  std::string line = record.GetField(0);
  for (int i = 1; i < count; ++i) {
    line += ',';
    line += record.GetField(i);
  }
  line += '\n';
  return line;
}

bool ParseLine(std::string_view line, LogRecord* record) {
  const int count = record->FieldCount();
  if (count < 1) return false;
  std::size_t position = 0;
  for (int i = 0; i < count - 1; ++i) {
    const std::size_t comma = line.find(',', position);
    if (comma == std::string_view::npos) return false;
    record->SetField(i, std::string(line.substr(position, comma - position)));
    position = comma + 1;
  }
  record->SetField(count - 1, std::string(line.substr(position)));
  return true;
}

}  // namespace tarvex
