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
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/device_text.h"
#include "core/server/service.h"
#include "core/transport/frame_batch.h"
#include "datafiles/access_control_list.h"
#include "fileservice/received_file.h"
#include "platform/atomic_file.h"
#include "protocol/file_cause.h"

namespace tarvex {

class ServiceLog;
struct SearchResult;
class UserList;

// Texts cross between the device's code page and the desktop's UTF-8 at one
// place each way: FromDevice for every text the device sends (names,
// directories, paths, search texts, user names and notes), ToDevice for every
// text sent to it (common/device_text.h tells the rules and the raw-byte
// fallbacks). Handlers, logs, record files and the file system see UTF-8.
//
// Uploads are stored through AtomicFile with `save_calls` (a test passes
// calls that fail). A file tracked by a download is written to the files list
// as soon as the download completes: under the list's RecordFileLock the file
// is read again, the record merged into it and the list saved atomically, so
// sessions that track files at the same time keep each other's records and a
// crash loses none that was acknowledged. A data file that cannot be read
// (anything but a missing one) refuses the request with an "Error" event and
// is never written over.
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
  // Loads the users file; false (reported as an "Error" event) when it
  // exists but cannot be read.
  bool LoadUsers(UserList* users);
  Status Dispatch(std::uint16_t code, bool* handled);
  // Receives exactly `length` bytes of a text that follows a request block.
  Status ReceiveText(std::size_t length, std::string* text);

  // The device's text in UTF-8 (its code page read, unless it is already
  // ASCII or UTF-8).
  std::string FromDevice(std::string_view bytes);
  // A desktop text as the device gets it, in at most `limit` bytes: in its
  // code page, or unchanged when the code page cannot represent it.
  std::string ToDevice(std::string_view text, std::size_t limit = SIZE_MAX);
  // The same for a text the device only shows: unrepresentable characters
  // become '?'.
  std::string ToDeviceForDisplay(std::string_view text, std::size_t limit);

  // Where a directory and name from the device stand on the desktop: the
  // first pair of their candidate readings (converted, raw bytes, code-page
  // reading) that names an existing entry; else the converted name in the
  // first candidate directory that exists; else both converted.
  struct DesktopPath {
    std::string directory, name;
    std::string Path() const { return directory + name; }
  };
  DesktopPath LocateIncoming(std::string_view directory, std::string_view name);
  // Where a stored (UTF-8) directory and name stand: as stored, or in the
  // device's bytes (a file whose name was never UTF-8).
  DesktopPath LocateStored(const std::string& directory, const std::string& name);

  // An upload or download request: its block, the name and directory that
  // follow it as sent, as the device means them (up to a zero byte, in
  // UTF-8, for messages) and where they stand on the desktop.
  struct FileRequest {
    std::string block;
    std::string sent_name, sent_directory;
    std::string name, directory;
    DesktopPath desktop;
    Status texts_status = 0;  // non-zero when name or directory did not come
  };
  // Receives a PutFile or GetFile request, whose blocks share the length and
  // the offsets of the name and directory lengths. Non-zero ends the session:
  // the status of a failed block receive (reported with `failure_format`),
  // or 1 for a block shorter than its fields.
  Status ReceiveFileRequest(const char* failure_format, FileRequest* request);
  // A download's name or directory as it goes back: the desktop's text in
  // the device's code page; the bytes as sent when they read the same.
  std::string EchoedText(const std::string& desktop, const std::string& sent);

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

  // One search result's items (search_request.cc).
  void AddResultRecord(FrameBatch& reply, const SearchResult& result);

  // The user's directory (root + name + "/"), created on demand; or none.
  std::optional<std::string> UserDirectory(std::uint32_t user_id);

  // Receives `size` bytes of content into the file at path, replacing it
  // only when all of it arrived and was written. Gives the cause when the
  // file could not be stored; *stream gets the status of the last receive,
  // non-zero when the content could not all be read and the stream is out
  // of step.
  std::optional<protocol::FileCause> StoreIncomingFile(const std::string& path, std::uint32_t size,
                                                       Status* stream);
  // Receives and discards `count` bytes; the status of the last receive.
  Status DrainBytes(std::uint32_t count);
  // Records a file sent to a device user in the files list on disk; 0, or 1
  // (reported as an "Error" event) when there is no data directory or the
  // list cannot be read or saved.
  Status TrackSentFile(std::uint32_t user_id, const std::string& name, const std::string& directory);

  ServiceLog* service_log_;
  const int receive_timeout_;
  std::optional<std::string> data_dir_;
  bool data_dir_resolved_ = false;
  std::optional<std::string> root_dir_;
  bool root_dir_resolved_ = false;
  std::string message_;
  std::optional<std::string> device_user_;
  SaveCalls& save_calls_;
  AccessControlList access_;
  std::optional<DeviceText> text_;  // made by Prepare
  bool restricted_ = false;
  // Set when the device must see the link close without the end code 3:
  // after a download that ended short, the end code would read as content.
  bool close_without_end_code_ = false;
  const ReceivedFileHandler* received_ = nullptr;
};

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
