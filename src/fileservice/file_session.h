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
#include <vector>

#include "core/server/service.h"
#include "datafiles/access_control_list.h"
#include "fileservice/received_file.h"
#include "platform/atomic_file.h"

namespace tarvex {

class FileList;
class FileRecord;
class ServiceLog;

// Uploads are stored through AtomicFile with `save_calls` (a test passes
// calls that fail). The files tracked by downloads are written to the files
// list when the session is destroyed: under the list's RecordFileLock the
// file is read again and this session's records are merged into it, so
// sessions that track files at the same time keep each other's records.
class FileSession : public Session {
 public:
  FileSession(ServiceLog* service_log, int receive_timeout,
              SaveCalls& save_calls = SaveCalls::Default());
  ~FileSession() override;

  Status Prepare() override;
  Status Run() override;

  bool IsRestricted() const { return restricted_; }
  // Told of each upload stored whole; the handler outlives the session.
  void SetReceivedHandler(const ReceivedFileHandler* handler) { received_ = handler; }

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
  // Receives exactly `length` bytes of a text that follows a request block.
  Status ReceiveText(std::size_t length, std::string* text);

  // An upload or download request: its block, and the name and directory
  // that follow it as sent and as the path takes them (up to a zero byte).
  struct FileRequest {
    std::string block;
    std::string sent_name, sent_directory;
    std::string name, directory;
    Status texts_status = 0;  // non-zero when name or directory did not come
  };
  // Receives a PutFile or GetFile request, whose blocks share the length and
  // the offsets of the name and directory lengths. Non-zero ends the session:
  // the status of a failed block receive (reported with `failure_format`),
  // or 1 for a block shorter than its fields.
  Status ReceiveFileRequest(const char* failure_format, FileRequest* request);

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

  // Receives `size` bytes of content into the file at path, replacing it
  // only when all of it arrived and was written. Returns 0 or the reply
  // status (a cause 1 to 14, or the failed receive's status); *stream gets
  // the status of the last receive, non-zero when the content could not all
  // be read and the stream is out of step.
  Status StoreIncomingFile(const std::string& path, std::uint32_t size, Status* stream);
  // Receives and discards `count` bytes; the status of the last receive.
  Status DrainBytes(std::uint32_t count);
  // Records a file sent to a device user in the session's files list; 0, or
  // 1 when no files list can be made (no data directory) or the record
  // cannot be stored.
  Status TrackSentFile(std::uint32_t user_id, const std::string& name, const std::string& directory);
  // Merges the records this session tracked into the files list on disk.
  void SaveTrackedFiles();

  ServiceLog* service_log_;
  const int receive_timeout_;
  std::optional<std::string> data_dir_;
  bool data_dir_resolved_ = false;
  std::optional<std::string> root_dir_;
  bool root_dir_resolved_ = false;
  std::string message_;
  std::optional<std::string> device_user_;
  SaveCalls& save_calls_;
  std::unique_ptr<FileList> files_;
  std::vector<FileRecord*> tracked_;  // records of files_ changed by this session
  AccessControlList access_;
  bool restricted_ = false;
  // Set when the device must see the link close without the end code 3:
  // after a download that ended short, the end code would read as content.
  bool close_without_end_code_ = false;
  const ReceivedFileHandler* received_ = nullptr;
};

// Creates the directory and every missing parent; failures are ignored.
void MakeDirectories(const std::string& path);

// The reply item [u16 4][u16 value] that announces a count or a length.
std::string CountItem(std::uint16_t value);

// The text up to its first zero byte, as a zero-terminated buffer holds it:
// names and directories that follow a request block are read that way.
std::string UpToFirstZero(std::string_view text);

// A user name that can serve as a directory name and a quoted field: not
// empty, not "." or "..", without "/", "\", a double quote or a control
// character.
bool IsAcceptableUserName(std::string_view name);

}  // namespace tarvex
