// FileRecord: a file sent to a device user and tracked for that user, one
// line of the files list: "user id","file name","directory". The directory
// is kept as the handheld gave it, so directory + file name is the path.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "datafiles/list_record.h"

namespace tarvex {

class FileRecord : public ListRecord {
 public:
  FileRecord() = default;
  FileRecord(std::uint32_t user_id, std::string file_name, std::string directory);

  bool FormatLine(std::string* line) const override;
  bool ParseLine(std::string_view line) override;

  std::uint32_t GetUserId() const { return user_id_; }
  void SetUserId(std::uint32_t user_id) { user_id_ = user_id; }
  const std::string& GetFileName() const { return file_name_; }
  void SetFileName(std::string file_name) { file_name_ = std::move(file_name); }
  const std::string& GetDirectory() const { return directory_; }
  void SetDirectory(std::string directory) { directory_ = std::move(directory); }

 private:
  std::uint32_t user_id_ = 0;
  std::string file_name_;
  std::string directory_;
};

}  // namespace tarvex
