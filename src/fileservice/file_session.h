// FileSession: the session of one device on the file-exchange service. Run
// reads request codes one after another and hands each to its handler until
// the device ends the session (code 2), a handler fails, the link breaks or
// an unknown code arrives; then it sends the end code 3, closes the link and
// logs the end. Every handler follows the wire conventions of the service:
// one frame per reply item, numbers big-endian, texts with a 16-bit length.
//
// A session's fields are touched only by its own thread after Prepare.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/server/service.h"
#include "datafiles/access_control_list.h"

namespace tarvex {

class FileList;
class ServiceLog;

class FileSession : public Session {
 public:
  FileSession(ServiceLog* service_log, int receive_timeout);
  ~FileSession() override;

  Status Prepare() override;
  Status Run() override;

  bool IsRestricted() const { return restricted_; }

 private:
  // Formats the message text (cut to 255 characters) for ReportEvent.
  void SetMessage(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Logs the message text to the service log with "Success" or "Error".
  void ReportEvent(std::string_view status);
  // A failed transport step: reports `format` (which takes the status as its
  // one %d) as an error. Returns the status either way.
  Status ReportFailure(Status status, const char* format);
  void IdentifyDeviceUser(std::uint32_t user_id);
  const std::optional<std::string>& ResolveDataDir();
  const std::optional<std::string>& ResolveRootDir();
  Status Dispatch(std::uint16_t code, bool* handled);

  // Handlers, one file per request family (upload.cc, download.cc,
  // tracking.cc, listing.cc, user_requests.cc, search_request.cc); a
  // non-zero result ends the session.
  Status PutFile();
  Status GetFile();
  Status ListTrackedFiles();
  Status ListDirectory();
  Status ListDrives();
  Status DesktopSearch();
  Status ListUsers();
  Status AddUser();
  Status GetUserDirectory();
  Status GetServerInfo();

  // The user's directory (root + name + "/"), created on demand; or none.
  std::optional<std::string> UserDirectory(std::uint32_t user_id);

  ServiceLog* service_log_;
  const int receive_timeout_;
  std::optional<std::string> data_dir_;
  bool data_dir_resolved_ = false;
  std::optional<std::string> root_dir_;
  bool root_dir_resolved_ = false;
  std::string message_;
  std::optional<std::string> device_user_;
  std::unique_ptr<FileList> files_;
  bool files_changed_ = false;
  AccessControlList access_;
  bool restricted_ = false;
};

// Creates the directory and every missing parent; failures are ignored.
void MakeDirectories(const std::string& path);

// A user name that can serve as a directory name and a quoted field: not
// empty, not "." or "..", without "/", "\", a double quote or a control
// character.
bool IsAcceptableUserName(std::string_view name);

}  // namespace tarvex
