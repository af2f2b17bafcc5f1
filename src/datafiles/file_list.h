// FileList: the files tracked for device users, kept in kFilesFileName in
// the data directory. With a user filter set, the walk and CountMatching show
// only that user's records; FindFile and Save ignore the filter.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "datafiles/file_record.h"
#include "datafiles/record_file.h"

namespace tarvex {

inline constexpr std::string_view kFilesFileName = "QLXFiles.txt";

class FileList : public RecordFile {
 public:
  // directory ends in a separator, or is empty for the current directory.
  // Lines that are not UTF-8 are read in legacy_charset (record_file.h).
  explicit FileList(std::string_view directory,
                    std::string_view legacy_charset = kDefaultDeviceCharset);

  void SetUserFilter(std::uint32_t user_id) { filter_user_id_ = user_id; }
  void ClearUserFilter() { filter_user_id_.reset(); }

  // The first record in list order of that user whose file name equals
  // file_name, ASCII case ignored; nullptr when there is none.
  FileRecord* FindFile(std::uint32_t user_id, std::string_view file_name);

  // The walk, typed.
  FileRecord* FindFirstFile();
  FileRecord* FindNextFile();

 protected:
  std::unique_ptr<ListRecord> CreateRecord() const override;
  // A FileRecord of the filter's user, or of any user when no filter is set.
  bool Matches(const ListRecord& record) const override;

 private:
  std::optional<std::uint32_t> filter_user_id_;
};

}  // namespace tarvex
