// The device's side of the file-exchange requests, over a link that has
// logged in (see device_link.h). Each call sends one request and reads its
// whole reply; `timeout` (tenths of a second) applies to every receive.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/transport/connection.h"

namespace tarvex {

struct DeviceUser {
  std::uint32_t id = 0;
  std::string name;
};

struct AddUserReply {
  std::uint32_t id = 0;    // 0 when no user was added
  bool duplicate = false;  // a user of that name exists
};

// 111: the server's version tag, such as "<QLXServerVersion=1.20>".
Status RequestServerInfo(Connection* link, std::string* tag, int timeout);
// 104: the device users in file order.
Status RequestUsers(Connection* link, std::vector<DeviceUser>* users, int timeout);
// 107: adds a user; name and note are cut to 49 characters.
Status RequestAddUser(Connection* link, std::string_view name, std::string_view note,
                      AddUserReply* reply, int timeout);
// 110: the user's directory on the desktop, none when there is none.
Status RequestUserDirectory(Connection* link, std::uint32_t user_id,
                            std::optional<std::string>* path, int timeout);
// Code 2, then the server's code 3.
Status EndSession(Connection* link, int timeout);

}  // namespace tarvex
