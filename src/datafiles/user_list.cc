#include "datafiles/user_list.h"

#include <algorithm>

namespace tarvex {

UserList::UserList(std::string_view directory, std::string_view legacy_charset)
    : RecordFile(directory, kUsersFileName, legacy_charset) {}

std::uint32_t UserList::NextUserId() const {
  std::uint32_t highest = 0;
  for (const auto& record : Records()) {
    if (const auto* user = dynamic_cast<const UserRecord*>(record.get())) {
      highest = std::max(highest, user->GetUserId());
    } else if (const auto* line = dynamic_cast<const UnreadableLine*>(record.get())) {
      highest = std::max(highest, line->LeadingId());
    }
  }
  return highest + 1u;  // wraps to 0 when no id is left
}

UserRecord* UserList::FindFirstUser() { return static_cast<UserRecord*>(FindFirst()); }

UserRecord* UserList::FindNextUser() { return static_cast<UserRecord*>(FindNext()); }

std::unique_ptr<ListRecord> UserList::CreateRecord() const {
  return std::make_unique<UserRecord>();
}

bool UserList::Matches(const ListRecord& record) const {
  return dynamic_cast<const UserRecord*>(&record) != nullptr;
}

}  // namespace tarvex
