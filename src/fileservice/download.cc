// The download request, GetFile (102): the block comes back with the status
// and the size, then the name, the directory and the content in items of at
// most 10000 bytes. A file that cannot be sent is answered with status 1, 2
// or 3 and ends the session.
#include <algorithm>
#include <limits>
#include <optional>

#include "common/big_endian.h"
#include "fileservice/file_session.h"
#include "platform/file_info.h"
#include "platform/file_reader.h"
#include "protocol/file_cause.h"
#include "protocol/codes.h"
#include "protocol/layouts.h"

namespace tarvex {
namespace {

namespace layout = protocol::get_file;

using protocol::FileCause;

// Why a file cannot be sent: the cause, none when the request itself could
// not be read, and a text.
struct Refusal {
  std::optional<FileCause> cause;
  std::string text;
};

// The reply status for a cause: not found, locked, or any other reason.
std::uint32_t RefusalStatus(std::optional<FileCause> cause) {
  if (cause == FileCause::kNotFound) return protocol::get_file::kNotFound;
  if (cause == FileCause::kSharingViolation) return protocol::get_file::kLocked;
  return protocol::get_file::kCannotOpen;
}

FileCause CauseOfError(int error_number, const std::string& path) {
  return protocol::CauseOf(ClassifyFileError(error_number, path));
}

std::optional<Refusal> CheckOpened(const FileReader& file, const std::string& path) {
  if (!file.IsOpen()) {
    if (file.NotRegular()) return Refusal{FileCause::kInvalidFile, "Not a regular file"};
    return Refusal{CauseOfError(file.Error(), path), SystemErrorText(file.Error())};
  }
  // The size field has 32 bits: a larger file would reach the device cut.
  if (file.Size() > std::numeric_limits<std::uint32_t>::max()) {
    return Refusal{FileCause::kInvalidFile, "File of 4 GiB or more; its size cannot be sent"};
  }
  return std::nullopt;
}

}  // namespace

std::string FileSession::EchoedText(const std::string& desktop, const std::string& sent) {
  std::string echoed = ToDevice(desktop, UINT16_MAX);
  return echoed == UpToFirstZero(sent) ? sent : echoed;
}

Status FileSession::GetFile() {
  FileRequest request;
  if (Status s = ReceiveFileRequest("Failed to init sending file to device: Error code - %d", &request)) {
    return s;
  }
  std::string& block = request.block;
  const std::string& name = request.name;
  const std::uint32_t user_id = GetU32(block.data() + layout::kUserId);
  const std::uint16_t track = GetU16(block.data() + layout::kTrackFlag);
  IdentifyDeviceUser(user_id);

  const std::string path = request.desktop.Path();
  std::optional<FileReader> file;
  std::optional<Refusal> refusal;
  if (request.texts_status != 0) {
    refusal = Refusal{std::nullopt, "The request could not be received"};
  } else if (restricted_ && !access_.IsPathAllowed(path)) {
    // The access list guards downloads as it guards listings.
    refusal = Refusal{FileCause::kAccessDenied, "Not allowed by the access-control list"};
  } else {
    file.emplace(path);
    refusal = CheckOpened(*file, path);
  }
  if (refusal) {
    SetMessage("Failed to open file (%s). Could not send to device. ErrCode(%d). ErrMsg(%s)", name.c_str(),
               refusal->cause ? protocol::ToWire(*refusal->cause) : 0, refusal->text.c_str());
    ReportEvent("Error");
    PutU32(block.data() + layout::kStatus, RefusalStatus(refusal->cause));
    SendBytes(connection.get(), block);
    return 1;
  }

  const auto size = static_cast<std::uint32_t>(file->Size());
  PutU32(block.data() + layout::kStatus, protocol::get_file::kSending);
  PutU32(block.data() + layout::kFileSize, size);
  // The name and directory go back as the device reads the file's own; in
  // the common case these are the very bytes it sent.
  const std::string echoed_name = EchoedText(request.desktop.name, request.sent_name);
  const std::string echoed_directory = EchoedText(request.desktop.directory, request.sent_directory);
  PutU16(block.data() + layout::kNameLength, static_cast<std::uint16_t>(echoed_name.size()));
  PutU16(block.data() + layout::kDirectoryLength, static_cast<std::uint16_t>(echoed_directory.size()));
  FrameBatch reply(connection.get());
  reply.Add(block);
  reply.Add(echoed_name);
  reply.Add(echoed_directory);
  activity.Begin(SessionDoing::kSending, name, size);
  std::uint32_t remaining = size;
  long got = 1;
  while (remaining > 0 && got > 0) {
    const std::size_t item = std::min<std::size_t>(remaining, layout::kItem);
    got = reply.AddFrom(item, [&file](char* out, std::size_t n) { return file->Read(out, n); });
    if (got > 0) remaining -= static_cast<std::uint32_t>(got);
    activity.Progress(size - remaining);
  }
  Status status = reply.Flush();
  if (status == 0 && remaining > 0) {
    // The file shrank or could not be read: the device must see the link
    // close rather than take what came as the whole file.
    // The session's result names the cause.
    status = protocol::ToWire(file->Error() != 0 ? CauseOfError(file->Error(), path) : FileCause::kEndOfFile);
    close_without_end_code_ = true;
  }
  if (status != 0) {
    SetMessage("Failed to send file (%s) to device: Error code - %d", name.c_str(), static_cast<int>(status));
    ReportEvent("Error");
    return status;
  }
  if (track == protocol::get_file::kTrack) {
    TrackSentFile(user_id, FromDevice(request.desktop.name), FromDevice(request.desktop.directory));
  }
  SetMessage("File %s successfully sent to device", name.c_str());
  ReportEvent("Success");
  return 0;
}

}  // namespace tarvex
