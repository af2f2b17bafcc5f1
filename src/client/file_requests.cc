#include "client/file_requests.h"

#include <algorithm>

#include "common/big_endian.h"
#include "protocol/codes.h"
#include "protocol/layouts.h"

namespace tarvex {
namespace {

constexpr std::size_t kNameField = protocol::add_user::kFieldWidth;

Status ReceiveExactly(Connection* link, std::string* out, std::size_t n, int timeout) {
  out->assign(n, '\0');
  return ReceiveBytes(link, out->data(), n, timeout);
}

// The reply item [00 04][u16 value].
Status ReceiveCountItem(Connection* link, std::uint16_t* value, int timeout) {
  std::string item;
  if (Status s = ReceiveExactly(link, &item, 4, timeout)) return s;
  *value = GetU16(item.data() + 2);
  return 0;
}

void AppendField(std::string& block, std::string_view text) {
  std::string field(kNameField, '\0');
  text = text.substr(0, kNameField - 1);
  std::copy(text.begin(), text.end(), field.begin());
  block += field;
}

}  // namespace

Status RequestServerInfo(Connection* link, std::string* tag, int timeout) {
  if (Status s = SendHeader(link, protocol::request::kGetServerInfo)) return s;
  std::uint16_t length = 0;
  if (Status s = ReceiveCountItem(link, &length, timeout)) return s;
  return ReceiveExactly(link, tag, length, timeout);
}

Status RequestUsers(Connection* link, std::vector<DeviceUser>* users, int timeout) {
  if (Status s = SendHeader(link, protocol::request::kListUsers)) return s;
  std::uint16_t count = 0;
  if (Status s = ReceiveCountItem(link, &count, timeout)) return s;
  users->clear();
  for (std::uint16_t i = 0; i < count; ++i) {
    std::string id, name;
    if (Status s = ReceiveExactly(link, &id, 4, timeout)) return s;
    if (Status s = ReceiveExactly(link, &name, kNameField, timeout)) return s;
    users->push_back({GetU32(id.data()), name.substr(0, name.find('\0'))});
  }
  return 0;
}

Status RequestAddUser(Connection* link, std::string_view name, std::string_view note,
                      AddUserReply* reply, int timeout) {
  std::string block;
  AppendU16(block, protocol::add_user::kBlockLength);
  AppendField(block, name);
  AppendField(block, note);
  if (Status s = SendHeader(link, protocol::request::kAddUser)) return s;
  if (Status s = SendBytes(link, block)) return s;
  std::string item;
  if (Status s = ReceiveExactly(link, &item, protocol::add_user::kReplyLength, timeout)) return s;
  reply->id = GetU32(item.data() + protocol::add_user::kReplyId);
  reply->duplicate = item[protocol::add_user::kReplyDuplicate] != '\0';  // little-endian flag
  return 0;
}

Status RequestUserDirectory(Connection* link, std::uint32_t user_id,
                            std::optional<std::string>* path, int timeout) {
  std::string block;
  AppendU16(block, protocol::user_directory::kBlockLength);
  AppendU32(block, user_id);
  AppendU16(block, 0);
  if (Status s = SendHeader(link, protocol::request::kGetUserDirectory)) return s;
  if (Status s = SendBytes(link, block)) return s;
  std::string answer;
  if (Status s = ReceiveExactly(link, &answer, block.size(), timeout)) return s;
  const std::uint16_t length = GetU16(answer.data() + protocol::user_directory::kPathLength);
  path->reset();
  if (length == 0) return 0;
  std::string text;
  if (Status s = ReceiveExactly(link, &text, length, timeout)) return s;
  *path = std::move(text);
  return 0;
}

Status EndSession(Connection* link, int timeout) {
  if (Status s = SendHeader(link, protocol::kEndSession)) return s;
  std::uint16_t code = 0;
  if (Status s = ReceiveHeader(link, &code, timeout)) return s;
  return code == protocol::kSessionOver ? 0 : message_status::kReceiveFailed;
}

}  // namespace tarvex
