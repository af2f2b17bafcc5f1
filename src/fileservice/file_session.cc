#include "fileservice/file_session.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <utility>

#include "common/big_endian.h"
#include "common/utf8.h"
#include "core/settings/root_dir.h"
#include "core/settings/server_settings.h"
#include "datafiles/file_list.h"
#include "datafiles/user_list.h"
#include "log/server_log.h"
#include "log/service_log.h"
#include "platform/file_info.h"
#include "platform/path.h"
#include "protocol/codes.h"
#include "protocol/layouts.h"

namespace tarvex {
namespace {

constexpr char kModule[] = "QLX";
constexpr std::size_t kMaxMessage = 255;

}  // namespace

std::string CountItem(std::uint16_t value) {
  std::string item;
  AppendU16(item, protocol::kCountItemLength);
  AppendU16(item, value);
  return item;
}

std::string UpToFirstZero(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

FileSession::FileSession(ServiceLog* service_log, int receive_timeout, SaveCalls& save_calls)
    : service_log_(service_log), receive_timeout_(receive_timeout), save_calls_(save_calls) {}

FileSession::~FileSession() = default;

void FileSession::SetMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, again);
  va_end(again);
  text.pop_back();
  // Cut at a whole character, so that the log stays UTF-8.
  message_ = std::string(CutAtCharacter(text, kMaxMessage));
}

void FileSession::ReportEvent(std::string_view status) {
  if (service_log_ == nullptr) return;
  service_log_->LogEvent(message_, device_user_.value_or(""), std::string(status));
}

Status FileSession::ReportFailure(Status status, const char* format) {
  if (status != 0) {
    SetMessage(format, static_cast<int>(status));
    ReportEvent("Error");
  }
  return status;
}

const std::optional<std::string>& FileSession::ResolveDataDir() {
  if (!data_dir_resolved_) {
    data_dir_resolved_ = true;
    data_dir_ = ServerSettings::GetDataDir();
    if (!data_dir_) {
      SetMessage("Failed to obtain Server Data Directory!");
      ReportEvent("Error");
    }
  }
  return data_dir_;
}

const std::optional<std::string>& FileSession::ResolveRootDir() {
  if (!root_dir_resolved_) {
    root_dir_resolved_ = true;
    std::optional<std::string> stored = ReadRootDir();
    if (!stored) {
      SetMessage(
          "Directory Not Configured! Please tap the 'Configure Services...' button to choose a "
          "directory.");
      ReportEvent("Error");
    } else if (!stored->empty()) {
      root_dir_ = WithTrailingSeparator(std::move(*stored));
    }
  }
  return root_dir_;
}

void FileSession::IdentifyDeviceUser(std::uint32_t user_id) {
  if (!data_dir_ || device_user_) return;
  UserList users(*data_dir_, text_->Charset());
  if (!LoadUsers(&users)) return;
  for (UserRecord* u = users.FindFirstUser(); u != nullptr; u = users.FindNextUser()) {
    if (u->GetUserId() == user_id) {
      device_user_ = u->GetUserName();
      activity.SetUser(*device_user_);
      return;
    }
  }
}

Status FileSession::Prepare() {
  text_.emplace(device_charset.empty() ? kDefaultDeviceCharset : std::string_view(device_charset));
  if (!device_charset.empty() && !text_->UsesCharset(device_charset)) {
    SetMessage("Unknown device character set %s: texts are read as %s", device_charset.c_str(),
               text_->Charset().c_str());
    ReportEvent("Error");
  }
  ResolveDataDir();
  ResolveRootDir();
  restricted_ = access_.LoadAccessList(data_dir_.value_or(""), text_->Charset());
  if (access_.LoadError() != 0) {
    SetMessage("The access control file %s cannot be read (%s): the session may reach nothing",
               access_.Path().c_str(), SystemErrorText(access_.LoadError()).c_str());
    ReportEvent("Error");
  }
  return 0;
}

bool FileSession::LoadUsers(UserList* users) {
  if (users->Load()) return true;
  SetMessage("Failed to read the users file %s: %s", users->Path().c_str(),
             SystemErrorText(users->LoadError()).c_str());
  ReportEvent("Error");
  return false;
}

std::string FileSession::FromDevice(std::string_view bytes) { return text_->FromDevice(bytes); }

std::string FileSession::ToDevice(std::string_view text, std::size_t limit) {
  return text_->ToDeviceCut(text, limit);
}

std::string FileSession::ToDeviceForDisplay(std::string_view text, std::size_t limit) {
  return text_->ToDeviceForDisplay(text, limit);
}

namespace {

// The first pair (directory, name) of the candidates that names an existing
// entry, if any.
std::optional<std::pair<std::string, std::string>> FirstExisting(const std::vector<std::string>& directories,
                                                                 const std::vector<std::string>& names) {
  // One reading alone has nothing to choose between.
  if (directories.size() == 1 && names.size() == 1) return std::nullopt;
  for (const std::string& directory : directories) {
    for (const std::string& name : names) {
      if (StatPath(directory + name).found) return std::make_pair(directory, name);
    }
  }
  return std::nullopt;
}

}  // namespace

FileSession::DesktopPath FileSession::LocateIncoming(std::string_view directory, std::string_view name) {
  const std::vector<std::string> directories = text_->IncomingCandidates(directory);
  const std::vector<std::string> names = text_->IncomingCandidates(name);
  if (auto found = FirstExisting(directories, names)) return {found->first, found->second};
  if (directories.size() > 1) {
    for (const std::string& candidate : directories) {
      if (StatPath(candidate).is_directory) return {candidate, names.front()};
    }
  }
  return {directories.front(), names.front()};
}

FileSession::DesktopPath FileSession::LocateStored(const std::string& directory, const std::string& name) {
  if (auto found = FirstExisting(text_->StoredCandidates(directory), text_->StoredCandidates(name))) {
    return {found->first, found->second};
  }
  return {directory, name};
}

Status FileSession::ReceiveText(std::size_t length, std::string* text) {
  text->assign(length, '\0');
  return ReceiveBytes(connection.get(), text->data(), length, receive_timeout_);
}

Status FileSession::ReceiveFileRequest(const char* failure_format, FileRequest* request) {
  namespace layout = protocol::put_file;
  static_assert(layout::kBlockLength == protocol::get_file::kBlockLength &&
                layout::kNameLength == protocol::get_file::kNameLength &&
                layout::kDirectoryLength == protocol::get_file::kDirectoryLength);
  std::string& block = request->block;
  if (Status s = ReportFailure(ReceiveBlock(connection.get(), &block, receive_timeout_), failure_format)) return s;
  if (block.size() < layout::kBlockLength) return 1;
  request->texts_status = ReceiveText(GetU16(block.data() + layout::kNameLength), &request->sent_name);
  if (request->texts_status == 0) {
    request->texts_status = ReceiveText(GetU16(block.data() + layout::kDirectoryLength), &request->sent_directory);
  }
  const std::string name = UpToFirstZero(request->sent_name);
  const std::string directory = UpToFirstZero(request->sent_directory);
  request->name = FromDevice(name);
  request->directory = FromDevice(directory);
  request->desktop = request->texts_status == 0 ? LocateIncoming(directory, name)
                                                 : DesktopPath{request->directory, request->name};
  return 0;
}

Status FileSession::Dispatch(std::uint16_t code, bool* handled) {
  *handled = true;
  switch (code) {
    case protocol::request::kPutFile:
      return PutFile();
    case protocol::request::kGetFile:
      return GetFile();
    case protocol::request::kListTrackedFiles:
      activity.Begin(SessionDoing::kListing);
      return ListTrackedFiles();
    case protocol::request::kListUsers:
      activity.Begin(SessionDoing::kListing);
      return ListUsers();
    case protocol::request::kDesktopSearch:
      activity.Begin(SessionDoing::kSearching);
      return DesktopSearch();
    case protocol::request::kAddUser:
      return AddUser();
    case protocol::request::kListDirectory:
      activity.Begin(SessionDoing::kListing);
      return ListDirectory();
    case protocol::request::kListDrives:
      activity.Begin(SessionDoing::kListing);
      return ListDrives();
    case protocol::request::kGetUserDirectory:
      return GetUserDirectory();
    case protocol::request::kGetServerInfo:
      return GetServerInfo();
    default:
      *handled = false;
      return 0;
  }
}

Status FileSession::Run() {
  // The device's address follows the designed text, so the log says who.
  std::string description = "Begin Session Successful - SessionID [" + std::to_string(session_number) + "]";
  if (!connection->PeerAddress().empty()) description += " from " + connection->PeerAddress();
  if (log != nullptr) log->LogEvent(kModule, user, description, "2");

  // A device that takes no byte for as long as a receive waits is gone.
  SetSendTimeout(connection.get(), receive_timeout_);
  Status result = 0;
  while (result == 0) {
    std::uint16_t code = 0;
    result = ReceiveHeader(connection.get(), &code, receive_timeout_);
    if (result != 0) break;
    bool handled = false;
    result = Dispatch(code, &handled);
    activity.Finish();
    if (!handled) {
      // Code 2 ends the session normally; any other code ends it unanswered.
      if (!IsEndSession(connection.get(), code)) result = 1;
      break;
    }
  }

  if (!close_without_end_code_) SendHeader(connection.get(), protocol::kSessionOver);
  CloseConnection(connection.get());
  ReleaseConnection(std::move(connection));

  if (log != nullptr) {
    log->LogEvent(kModule, user, "End Session - SessionID [" + std::to_string(session_number) + "]", "2");
  }
  return result;
}

}  // namespace tarvex
