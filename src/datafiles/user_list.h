// UserList: the device users, kept in kUsersFileName in the data directory.
// Every user record matches the walk. New users get NextUserId: one more than
// the highest id, the ids compared as signed 32-bit numbers from 0 up.
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
  explicit UserList(std::string_view directory);

  // 1 for an empty list.
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
