#include "log/log_record.h"

#include <utility>

namespace tarvex {

std::string LogRecord::GetField(int index) const {
  if (index < 0 || index >= FieldCount()) return std::string();
  return fields_[static_cast<std::size_t>(index)];
}

void LogRecord::SetField(int index, std::string text) {
  if (index < 0 || index >= FieldCount()) return;
  fields_[static_cast<std::size_t>(index)] = std::move(text);
}

}  // namespace tarvex
