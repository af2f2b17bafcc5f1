#include "datafiles/user_list.h"

namespace tarvex {

UserList::UserList(std::string_view directory) : RecordFile(directory, kUsersFileName) {}

std::uint32_t UserList::NextUserId() const {
  std::int32_t highest = 0;
  for (const auto& record : Records()) {
    const auto* user = dynamic_cast<const UserRecord*>(record.get());
    if (user == nullptr) continue;
    const auto id = static_cast<std::int32_t>(user->GetUserId());
    if (id > highest) highest = id;
  }
  return static_cast<std::uint32_t>(highest) + 1u;
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
