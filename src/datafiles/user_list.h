// UserList: the device users, kept in kUsersFileName in the data directory.
// Every user record matches the walk. New users get NextUserId: one more than
// the highest id in the file, the leading numbers of unreadable lines
// included, so that a new id never repeats one the file holds.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "datafiles/record_file.h"
#include "datafiles/user_record.h"

namespace tarvex {

inline constexpr std::string_view kUsersFileName = "QLXUsers.txt";

class UserList : public RecordFile {
 public:
  // directory ends in a separator, or is empty for the current directory.
  // Lines that are not UTF-8 are read in legacy_charset (record_file.h).
  explicit UserList(std::string_view directory,
                    std::string_view legacy_charset = kDefaultDeviceCharset);

  // 1 for an empty list; 0 when the highest id is the largest 32-bit number
  // and no id is left above it.
  std::uint32_t NextUserId() const;

  // The walk, typed.
  UserRecord* FindFirstUser();
  UserRecord* FindNextUser();

 protected:
  std::unique_ptr<ListRecord> CreateRecord() const override;
  // True for every UserRecord; a record of another kind never shows.
  bool Matches(const ListRecord& record) const override;
};

}  // namespace tarvex
