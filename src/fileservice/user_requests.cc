// The requests about device users and the server: ListUsers (104), AddUser
// (107), GetUserDirectory (110) and GetServerInfo (111).
#include <cstring>

#include "common/big_endian.h"
#include "common/join_texts.h"
#include "datafiles/record_file_lock.h"
#include "datafiles/user_list.h"
#include "fileservice/file_session.h"
#include "platform/files.h"
#include "platform/path.h"
#include "common/ascii.h"
#include "protocol/codes.h"
#include "protocol/layouts.h"

namespace tarvex {
namespace {

constexpr std::size_t kNameField = protocol::add_user::kFieldWidth;

// A zero-terminated field of `width` bytes at `offset`; none when the block
// is too short or the field holds no zero byte.
std::optional<std::string> TerminatedField(const std::string& block, std::size_t offset,
                                           std::size_t width) {
  if (block.size() < offset + width) return std::nullopt;
  std::string_view field(block.data() + offset, width);
  std::size_t end = field.find('\0');
  if (end == std::string_view::npos) return std::nullopt;
  return std::string(field.substr(0, end));
}

}  // namespace

bool IsAcceptableUserName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of("/\\\"") == std::string_view::npos && !HoldsControlCharacter(name);
}

Status FileSession::ListUsers() {
  if (!data_dir_) return 1;
  UserList users(*data_dir_, text_->Charset());
  // A users file that cannot be read answers as no users.
  LoadUsers(&users);
  FrameBatch reply(connection.get());
  reply.Add(CountItem(static_cast<std::uint16_t>(users.CountMatching())));
  // As many users as the count told, even from a file with more.
  std::int16_t left = users.CountMatching();
  for (UserRecord* u = users.FindFirstUser(); u != nullptr && reply.Failure() == 0 && left-- > 0;
       u = users.FindNextUser()) {
    reply.Add(BigEndian32(u->GetUserId()));
    std::string name(kNameField, '\0');
    const std::string user_name = ToDevice(u->GetUserName(), kNameField - 1);
    std::memcpy(name.data(), user_name.data(), user_name.size());
    reply.Add(name);
  }
  return reply.Flush();
}

Status FileSession::AddUser() {
  std::string block;
  Status status = ReportFailure(ReceiveBlock(connection.get(), &block, receive_timeout_),
                                "Failed to init receiving new user request: Error code - %d");
  if (status != 0) return status;
  std::optional<std::string> name = TerminatedField(block, protocol::add_user::kName, kNameField);
  if (!name || block.size() < protocol::add_user::kBlockLength) return 1;
  name = FromDevice(*name);
  std::string_view note_field(block.data() + protocol::add_user::kNote, kNameField);
  std::string note = FromDevice(note_field.substr(0, note_field.find('\0')));

  std::uint32_t id = 0;
  std::uint32_t duplicate = 0;
  if (!IsAcceptableUserName(*name)) {
    SetMessage("Refused to add a user with the invalid name \"%s\"", name->c_str());
    ReportEvent("Error");
  } else if (data_dir_) {
    UserList users(*data_dir_, text_->Charset());
    RecordFileLock lock(users);
    // A file that cannot be read is never saved over: it would lose its
    // users and give their ids again.
    const bool loaded = LoadUsers(&users);
    for (UserRecord* u = users.FindFirstUser(); u != nullptr; u = users.FindNextUser()) {
      if (EqualsIgnoreCaseAscii(u->GetUserName(), *name)) duplicate = 1;
    }
    if (!loaded) {
      SetMessage("Failed to add user %s: the users file cannot be read", name->c_str());
      ReportEvent("Error");
    } else if (!duplicate) {
      id = users.NextUserId();
      if (users.IsFull() || id == 0) {
        SetMessage("Failed to add user %s: the users file is full", name->c_str());
        ReportEvent("Error");
        id = 0;
      } else if (!users.Add(std::make_unique<UserRecord>(id, *name, note)) || !users.Save()) {
        SetMessage("Failed to store new user %s", name->c_str());
        ReportEvent("Error");
        id = 0;
      }
    }
  }

  std::string reply;
  AppendU16(reply, 0);
  AppendU32(reply, id);
  // The duplicate flag goes out little-endian.
  reply += static_cast<char>(duplicate);
  reply.append(3, '\0');
  return ReportFailure(SendBytes(connection.get(), reply),
                       "Failed to send response for Add New User: Error code - %d");
}

std::optional<std::string> FileSession::UserDirectory(std::uint32_t user_id) {
  if (!data_dir_) return std::nullopt;
  UserList users(*data_dir_, text_->Charset());
  if (!LoadUsers(&users)) return std::nullopt;
  UserRecord* found = users.FindFirstUser();
  while (found != nullptr && found->GetUserId() != user_id) found = users.FindNextUser();
  if (found == nullptr || !root_dir_) return std::nullopt;
  // A hand-edited file may hold a name that would lead out of the root.
  if (!IsAcceptableUserName(found->GetUserName())) {
    SetMessage("User %u has the unsafe name \"%s\": no directory is made", user_id,
               found->GetUserName().c_str());
    ReportEvent("Error");
    return std::nullopt;
  }
  const std::string_view separator(&kPathSeparator, 1);
  std::optional<std::string> path = JoinTexts({*root_dir_, found->GetUserName(), separator});
  if (path) MakeDirectories(*path, kSharedFolderMode);
  return path;
}

Status FileSession::GetUserDirectory() {
  std::string block;
  Status status = ReportFailure(ReceiveBlock(connection.get(), &block, receive_timeout_),
                                "Failed to receive remote user dir req: Error code - %d");
  if (status != 0) return status;
  namespace layout = protocol::user_directory;
  if (block.size() < layout::kBlockLength) return 1;
  std::optional<std::string> path = UserDirectory(GetU32(block.data() + layout::kUserId));
  if (path) path = ToDevice(*path, UINT16_MAX);
  PutU16(block.data() + layout::kPathLength, static_cast<std::uint16_t>(path ? path->size() : 0));
  status = SendBytes(connection.get(), block);
  if (status == 0 && path) status = SendBytes(connection.get(), *path);
  return ReportFailure(status, "Failed to send response for remote user dir: Error code - %d");
}

Status FileSession::GetServerInfo() {
  char tag[32];
  const int length = std::snprintf(tag, sizeof tag, "<QLXServerVersion=%s>", protocol::kServerVersion);
  FrameBatch reply(connection.get());
  reply.Add(CountItem(static_cast<std::uint16_t>(length)));
  reply.Add(std::string_view(tag, static_cast<std::size_t>(length)));
  return ReportFailure(reply.Flush(), "Failed to send response for server info: Error code - %d");
}

}  // namespace tarvex
