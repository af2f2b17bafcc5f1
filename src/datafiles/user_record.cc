#include "datafiles/user_record.h"

namespace tarvex {

UserRecord::UserRecord(std::uint32_t user_id, std::string user_name, std::string note_text)
    : user_name_(std::move(user_name)), note_text_(std::move(note_text)), user_id_(user_id) {}

bool UserRecord::FormatLine(std::string* line) const {
  return StoreFields(user_id_, {user_name_}, line);
}

bool UserRecord::ParseLine(std::string_view line) {
  std::uint32_t id = 0;
  std::vector<std::string> texts;
  if (!ReadFields(line, 1, &id, &texts)) return false;
  user_id_ = id;
  user_name_ = std::move(texts[0]);
  note_text_.clear();
  return true;
}

}  // namespace tarvex
