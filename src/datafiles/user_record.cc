#include "datafiles/user_record.h"

#include "common/ascii.h"
#include "datafiles/next_field.h"

namespace tarvex {

UserRecord::UserRecord(std::uint32_t user_id, std::string user_name, std::string note_text)
    : user_name_(std::move(user_name)), note_text_(std::move(note_text)), user_id_(user_id) {}

bool UserRecord::FormatLine(std::string* line) const {
  return StoreLine("\"" + std::to_string(user_id_) + "\",\"" + user_name_ + "\"", line);
}

bool UserRecord::ParseLine(std::string_view line) {
  std::string rest(line);
  user_id_ = static_cast<std::uint32_t>(ParseDecimal(NextField(&rest)));
  user_name_ = NextField(&rest);
  note_text_.clear();
  return true;
}

}  // namespace tarvex
