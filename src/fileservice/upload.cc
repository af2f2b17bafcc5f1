// The upload request, PutFile (101): the device names a file, a directory and
// a size, then streams the content unframed; the server stores it and answers
// with one status. The content is always read to its end, stored or not, so
// that the stream stays in step for the next request.
#include <algorithm>

#include "common/big_endian.h"
#include "fileservice/file_session.h"
#include "platform/file_info.h"
#include "protocol/file_cause.h"
#include "protocol/codes.h"
#include "protocol/layouts.h"

namespace tarvex {
namespace {

namespace layout = protocol::put_file;

// Received chunks are gathered to this size before they are written.
constexpr std::size_t kWriteSize = 13 * layout::kChunk;

}  // namespace

Status FileSession::DrainBytes(std::uint32_t count) {
  char chunk[layout::kChunk];
  while (count > 0) {
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(count, layout::kChunk));
    if (Status s = ReceiveBytes(connection.get(), chunk, n, receive_timeout_)) return s;
    count -= n;
  }
  return 0;
}

std::optional<protocol::FileCause> FileSession::StoreIncomingFile(const std::string& path, std::uint32_t size,
                                                                  Status* stream) {
  // The content goes to a temporary file beside the target (unnamed where
  // the file system allows it, so a crash leaves nothing), which replaces
  // the target only once all of it is written: a cut link or a full disk
  // never leaves a truncated file where the old one was.
  AtomicFile file(path, save_calls_, AtomicFile::Kind::kUpload);
  std::string buffer(kWriteSize, '\0');
  std::size_t gathered = 0;
  std::uint32_t received = 0;
  while (file.IsOpen() && received < size) {
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(size - received, layout::kChunk));
    if (Status s = ReceiveBytes(connection.get(), buffer.data() + gathered, n, receive_timeout_)) {
      *stream = s;
      return std::nullopt;  // the temporary file goes with `file`
    }
    received += n;
    gathered += n;
    activity.Progress(received);
    if (gathered + layout::kChunk > buffer.size() || received == size) {
      file.Write(std::string_view(buffer.data(), gathered));
      gathered = 0;
    }
  }
  if (file.IsOpen() && file.Commit()) {
    *stream = 0;
    return std::nullopt;
  }
  const int error = file.Error();
  SetMessage("%s", SystemErrorText(error).c_str());
  ReportEvent("Error");
  *stream = DrainBytes(size - received);
  return protocol::CauseOf(ClassifyFileError(error, path));
}

Status FileSession::PutFile() {
  FileRequest request;
  if (Status s = ReceiveFileRequest("Failed to init receiving file from Device: Error code - %d", &request)) {
    return s;
  }
  const std::uint32_t size = GetU32(request.block.data() + layout::kFileSize);
  const std::string& name = request.name;
  IdentifyDeviceUser(GetU32(request.block.data() + layout::kUserId));

  std::uint16_t status = 0;  // the reply's, in the PutFile vocabulary (protocol/file_cause.h)
  Status stream = request.texts_status;
  if (stream != 0) {
    // Without its name the file is not created at all, not even when empty.
    status = stream;
  } else if (restricted_) {
    stream = DrainBytes(size);
    status = protocol::kPutFileRestricted;
  } else {
    // The device sends the complete directory, ending in a separator.
    activity.Begin(SessionDoing::kReceiving, name, size);
    const std::optional<protocol::FileCause> cause = StoreIncomingFile(request.desktop.Path(), size, &stream);
    status = cause ? protocol::ToWire(*cause) : stream;
  }
  if (status == 0) {
    SetMessage("File %s successfully received from device", name.c_str());
    ReportEvent("Success");
    if (received_ != nullptr) (*received_)({name, request.directory, device_user_.value_or(user)});
  } else {
    SetMessage("Failed to receive %s from device: Error code - %d", name.c_str(), static_cast<int>(status));
    ReportEvent("Error");
  }

  char reply[layout::kReplyLength];
  PutU16(reply, layout::kReplyLength);
  PutU32(reply + layout::kReplyStatus,
         static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<std::int16_t>(status))));
  const Status sent = SendBytes(connection.get(), reply, sizeof reply);
  if (sent != 0) {
    SetMessage("Failed to send status to device for file receive (%s): Error code - %d", name.c_str(),
               static_cast<int>(sent));
    ReportEvent("Error");
    return sent;
  }
  // A file that could not be stored does not end the session, but content
  // that could not all be read leaves nothing in step to go on with.
  return stream;
}

}  // namespace tarvex
