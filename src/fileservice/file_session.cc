#include "fileservice/file_session.h"

#include <cstdarg>
#include <cstdio>

#include "common/big_endian.h"
#include "common/join_texts.h"
#include "core/settings/server_settings.h"
#include "datafiles/file_list.h"
#include "datafiles/user_list.h"
#include "fileservice/root_dir.h"
#include "log/server_log.h"
#include "log/service_log.h"
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

FileSession::~FileSession() { SaveTrackedFiles(); }

void FileSession::SetMessage(const char* format, ...) {
  char text[kMaxMessage + 1];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  message_ = text;
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
  UserList users(*data_dir_);
  if (!users.Load()) return;
  for (UserRecord* u = users.FindFirstUser(); u != nullptr; u = users.FindNextUser()) {
    if (u->GetUserId() == user_id) {
      device_user_ = u->GetUserName();
      activity.SetUser(*device_user_);
      return;
    }
  }
}

Status FileSession::Prepare() {
  ResolveDataDir();
  ResolveRootDir();
  restricted_ = access_.LoadAccessList(data_dir_.value_or(""));
  return 0;
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
  request->name = UpToFirstZero(request->sent_name);
  request->directory = UpToFirstZero(request->sent_directory);
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
  char description[64];
  std::snprintf(description, sizeof description, "%s - SessionID [%d]", "Begin Session Successful",
                static_cast<int>(session_number));
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

  std::snprintf(description, sizeof description, "%s - SessionID [%d]", "End Session",
                static_cast<int>(session_number));
  if (log != nullptr) log->LogEvent(kModule, user, description, "2");
  return result;
}

}  // namespace tarvex
