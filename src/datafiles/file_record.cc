#include "datafiles/file_record.h"

#include "common/ascii.h"
#include "datafiles/next_field.h"

namespace tarvex {

FileRecord::FileRecord(std::uint32_t user_id, std::string file_name, std::string directory)
    : user_id_(user_id), file_name_(std::move(file_name)), directory_(std::move(directory)) {}

bool FileRecord::FormatLine(std::string* line) const {
  return StoreLine(
      "\"" + std::to_string(user_id_) + "\",\"" + file_name_ + "\",\"" + directory_ + "\"", line);
}

bool FileRecord::ParseLine(std::string_view line) {
  std::string rest(line);
  user_id_ = static_cast<std::uint32_t>(ParseDecimal(NextField(&rest)));
  file_name_ = NextField(&rest);
  directory_ = NextField(&rest);
  return true;
}

}  // namespace tarvex
