#include "datafiles/file_record.h"

namespace tarvex {

FileRecord::FileRecord(std::uint32_t user_id, std::string file_name, std::string directory)
    : user_id_(user_id), file_name_(std::move(file_name)), directory_(std::move(directory)) {}

bool FileRecord::FormatLine(std::string* line) const {
  return StoreFields(user_id_, {file_name_, directory_}, line);
}

bool FileRecord::ParseLine(std::string_view line) {
  std::uint32_t id = 0;
  std::vector<std::string> texts;
  if (!ReadFields(line, 2, &id, &texts)) return false;
  user_id_ = id;
  file_name_ = std::move(texts[0]);
  directory_ = std::move(texts[1]);
  return true;
}

}  // namespace tarvex
