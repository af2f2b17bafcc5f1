#include "datafiles/next_field.h"

namespace tarvex {

std::string NextField(std::string* line) {
  std::string field;
  if (line->size() < 2 || (*line)[0] != '"') return field;
  for (std::size_t i = 1; i < line->size(); ++i) {
    const char c = (*line)[i];
    if (c != '"') {
      field.push_back(c);
      continue;
    }
    if (i + 1 == line->size()) {
      line->clear();
      return field;
    }
    const char next = (*line)[i + 1];
    if (next == '\r' || next == '\n') {
      line->clear();
      return field;
    }
    if (next == ',') {
      line->erase(0, i + 2);
      return field;
    }
    field.push_back('"');
    if (next == '"') ++i;
  }
  return field;
}

}  // namespace tarvex
