#include "datafiles/list_record.h"

namespace tarvex {

ListRecord::~ListRecord() = default;

bool ListRecord::StoreLine(std::string text, std::string* line) {
  if (line == nullptr) return false;
  if (text.size() > kMaxLineLength || text.find('\n') != std::string::npos) return false;
  text.push_back('\n');
  *line = std::move(text);
  return true;
}

}  // namespace tarvex
