#include "client/file_requests.h"

#include <algorithm>

#include "common/big_endian.h"
#include "core/transport/frame_batch.h"
#include "protocol/codes.h"
#include "protocol/file_cause.h"
#include "protocol/layouts.h"

namespace tarvex {
namespace {

constexpr std::size_t kNameField = protocol::add_user::kFieldWidth;
// Content is read from the link in pieces of this size.
constexpr std::size_t kContentPiece = 64 * 1024;

// Reads the items of a reply one after another, taking every frame that has
// arrived at once. After a failed receive every later read gives zeros or
// empty texts and the link is not touched again.
class ReplyReader {
 public:
  ReplyReader(Connection* link, int timeout) : link_(link), timeout_(timeout) {}

  std::string Bytes(std::size_t n) {
    std::string bytes(n, '\0');
    if (status_ == 0 && n > 0) status_ = ReceiveBytes(link_, bytes.data(), n, timeout_);
    if (status_ != 0) bytes.assign(n, '\0');
    return bytes;
  }
  std::uint16_t U16() { return GetU16(Bytes(2).data()); }
  std::uint32_t U32() { return GetU32(Bytes(4).data()); }
  // A text preceded by its 16-bit length.
  std::string Text() { return Bytes(U16()); }
  // The count of the item [u16 4][u16 count].
  std::uint16_t CountItem() { return GetU16(Bytes(protocol::kCountItemLength).data() + 2); }
  Status Result() const { return status_; }

 private:
  Connection* link_;
  int timeout_;
  Status status_ = 0;
};

void AppendField(std::string& block, std::string_view text) {
  std::string field(kNameField, '\0');
  text = text.substr(0, kNameField - 1);
  std::copy(text.begin(), text.end(), field.begin());
  block += field;
}

// Sends a request's command header and its block.
Status SendRequest(Connection* link, std::uint16_t code, std::string_view block) {
  if (Status s = SendHeader(link, code)) return s;
  return SendBytes(link, block);
}

}  // namespace

Status RequestServerInfo(Connection* link, std::string* tag, int timeout) {
  if (Status s = SendHeader(link, protocol::request::kGetServerInfo)) return s;
  ReplyReader reply(link, timeout);
  *tag = reply.Bytes(reply.CountItem());
  return reply.Result();
}

Status RequestUsers(Connection* link, std::vector<DeviceUser>* users, int timeout) {
  if (Status s = SendHeader(link, protocol::request::kListUsers)) return s;
  ReplyReader reply(link, timeout);
  users->clear();
  for (std::uint16_t count = reply.CountItem(); count > 0 && reply.Result() == 0; --count) {
    const std::uint32_t id = reply.U32();
    const std::string name = reply.Bytes(kNameField);
    users->push_back({id, name.substr(0, name.find('\0'))});
  }
  return reply.Result();
}

Status RequestAddUser(Connection* link, std::string_view name, std::string_view note,
                      AddUserReply* reply, int timeout) {
  std::string block;
  AppendU16(block, protocol::add_user::kBlockLength);
  AppendField(block, name);
  AppendField(block, note);
  if (Status s = SendRequest(link, protocol::request::kAddUser, block)) return s;
  ReplyReader reader(link, timeout);
  const std::string item = reader.Bytes(protocol::add_user::kReplyLength);
  reply->id = GetU32(item.data() + protocol::add_user::kReplyId);
  reply->duplicate = item[protocol::add_user::kReplyDuplicate] != '\0';  // little-endian flag
  return reader.Result();
}

Status RequestUserDirectory(Connection* link, std::uint32_t user_id,
                            std::optional<std::string>* path, int timeout) {
  std::string block;
  AppendU16(block, protocol::user_directory::kBlockLength);
  AppendU32(block, user_id);
  AppendU16(block, 0);
  if (Status s = SendRequest(link, protocol::request::kGetUserDirectory, block)) return s;
  ReplyReader reply(link, timeout);
  const std::string answer = reply.Bytes(block.size());
  const std::uint16_t length = GetU16(answer.data() + protocol::user_directory::kPathLength);
  std::string text = reply.Bytes(length);
  path->reset();
  if (length > 0 && reply.Result() == 0) *path = std::move(text);
  return reply.Result();
}

Status RequestPutFile(Connection* link, const PutFileRequest& request, const ContentSource& source,
                      std::int32_t* reply_status, int timeout) {
  namespace layout = protocol::put_file;
  if (request.name.size() > 0xFFFF || request.directory.size() > 0xFFFF) return kDeviceSideFailure;
  std::string block(layout::kBlockLength, '\0');
  PutU16(block.data(), layout::kBlockLength);
  PutU32(block.data() + layout::kUserId, request.user_id);
  PutU16(block.data() + layout::kNameLength, static_cast<std::uint16_t>(request.name.size()));
  PutU16(block.data() + layout::kDirectoryLength, static_cast<std::uint16_t>(request.directory.size()));
  PutU32(block.data() + layout::kFileSize, request.size);
  if (Status s = SendHeader(link, protocol::request::kPutFile)) return s;

  FrameBatch out(link);
  out.Add(block);
  out.Add(request.name);
  out.Add(request.directory);
  std::uint32_t remaining = request.size;
  while (remaining > 0 && out.Failure() == 0) {
    const long got = out.AddFrom(std::min<std::size_t>(remaining, kMaxFramePayload), source);
    if (got <= 0 && out.Failure() == 0) return kDeviceSideFailure;
    if (got > 0) remaining -= static_cast<std::uint32_t>(got);
  }
  if (Status s = out.Flush()) return s;

  ReplyReader reply(link, timeout);
  const std::string item = reply.Bytes(layout::kReplyLength);
  *reply_status = static_cast<std::int32_t>(GetU32(item.data() + layout::kReplyStatus));
  return reply.Result();
}

Status RequestGetFile(Connection* link, const GetFileRequest& request, GetFileReply* reply,
                      const ContentSink& sink, int timeout) {
  namespace layout = protocol::get_file;
  if (request.name.size() > 0xFFFF || request.directory.size() > 0xFFFF) return kDeviceSideFailure;
  std::string block(layout::kBlockLength, '\0');
  PutU16(block.data(), layout::kBlockLength);
  PutU32(block.data() + layout::kUserId, request.user_id);
  PutU16(block.data() + layout::kTrackFlag, request.track_flag);
  PutU16(block.data() + layout::kNameLength, static_cast<std::uint16_t>(request.name.size()));
  PutU16(block.data() + layout::kDirectoryLength, static_cast<std::uint16_t>(request.directory.size()));
  if (Status s = SendHeader(link, protocol::request::kGetFile)) return s;
  FrameBatch out(link);
  out.Add(block);
  out.Add(request.name);
  out.Add(request.directory);
  if (Status s = out.Flush()) return s;

  ReplyReader reader(link, timeout);
  const std::string answer = reader.Bytes(block.size());
  reply->status = GetU32(answer.data() + layout::kStatus);
  reply->size = GetU32(answer.data() + layout::kFileSize);
  if (reader.Result() != 0 || reply->status != protocol::get_file::kSending) return reader.Result();
  // The server echoes the name and the directory in its own reading, with
  // their lengths in the block.
  reply->name = reader.Bytes(GetU16(answer.data() + layout::kNameLength));
  reply->directory = reader.Bytes(GetU16(answer.data() + layout::kDirectoryLength));
  if (reader.Result() != 0) return reader.Result();

  std::string piece(std::min<std::size_t>(reply->size, kContentPiece), '\0');
  for (std::uint32_t remaining = reply->size; remaining > 0;) {
    const std::size_t n = std::min<std::size_t>(remaining, piece.size());
    if (Status s = ReceiveBytes(link, piece.data(), n, timeout)) return s;
    if (!sink(std::string_view(piece.data(), n))) return kDeviceSideFailure;
    remaining -= static_cast<std::uint32_t>(n);
  }
  return 0;
}

Status RequestTrackedFiles(Connection* link, std::uint32_t user_id, std::vector<TrackedFile>* files,
                           int timeout) {
  std::string block;
  AppendU16(block, protocol::list_tracked::kBlockLength);
  AppendU32(block, user_id);
  if (Status s = SendRequest(link, protocol::request::kListTrackedFiles, block)) return s;
  ReplyReader reply(link, timeout);
  files->clear();
  for (std::uint16_t count = reply.CountItem(); count > 0 && reply.Result() == 0; --count) {
    TrackedFile file;
    file.stamp = reply.Bytes(protocol::kStampLength);
    file.size = reply.U32();
    file.name = reply.Text();
    file.directory = reply.Text();
    files->push_back(std::move(file));
  }
  return reply.Result();
}

Status RequestListDirectory(Connection* link, std::string_view path, std::vector<ListingEntry>* entries,
                            int timeout) {
  namespace layout = protocol::listing;
  if (path.size() >= layout::kPathWidth) return kDeviceSideFailure;
  std::string block(layout::kDirectoryBlockLength, '\0');
  PutU16(block.data(), layout::kDirectoryBlockLength);
  std::copy(path.begin(), path.end(), block.begin() + layout::kPath);
  if (Status s = SendRequest(link, protocol::request::kListDirectory, block)) return s;
  ReplyReader reply(link, timeout);
  const std::string header = reply.Bytes(layout::kHeaderLength);
  entries->clear();
  for (std::uint32_t count = GetU32(header.data() + layout::kHeaderCount); count > 0 && reply.Result() == 0;
       --count) {
    ListingEntry entry;
    entry.is_directory = reply.U16() != 0;
    entry.stamp = reply.Bytes(protocol::kStampLength);
    entry.size = reply.U32();
    entry.name = reply.Text();
    entry.directory = reply.Text();
    entries->push_back(std::move(entry));
  }
  return reply.Result();
}

Status RequestListDrives(Connection* link, std::vector<std::string>* drives, int timeout) {
  namespace layout = protocol::listing;
  std::string block(layout::kDrivesBlockLength, '\0');
  PutU16(block.data(), layout::kDrivesBlockLength);
  if (Status s = SendRequest(link, protocol::request::kListDrives, block)) return s;
  ReplyReader reply(link, timeout);
  const std::string header = reply.Bytes(layout::kHeaderLength);
  drives->clear();
  for (std::uint32_t count = GetU32(header.data() + layout::kHeaderCount); count > 0 && reply.Result() == 0;
       --count) {
    reply.U16();
    drives->push_back(reply.Text());
  }
  return reply.Result();
}

std::string DescribePutFileStatus(std::int32_t status) {
  static const char* const kCauses[] = {"generic failure",
                                        "file not found",
                                        "bad path",
                                        "too many open files",
                                        "access denied",
                                        "invalid file",
                                        "removal of the current directory",
                                        "directory full",
                                        "bad seek",
                                        "hardware input/output error",
                                        "sharing violation",
                                        "lock violation",
                                        "disk full",
                                        "end of file"};
  const protocol::PutFileStatus read = protocol::PutFileStatus::Read(status);
  switch (read.kind) {
    case protocol::PutFileStatus::Kind::kStored: return "stored";
    case protocol::PutFileStatus::Kind::kNotStored: return kCauses[protocol::ToWire(read.cause) - 1];
    case protocol::PutFileStatus::Kind::kRestricted: return "refused: the session is restricted";
    case protocol::PutFileStatus::Kind::kReceiveFailed: break;
  }
  return "the server's receive failed: the link broke or went silent";
}

std::string DescribeGetFileStatus(std::uint32_t status) {
  switch (status) {
    case protocol::get_file::kSending:
      return "sending";
    case protocol::get_file::kNotFound:
      return "file not found";
    case protocol::get_file::kLocked:
      return "file locked by another program";
    default:
      return "file cannot be opened";
  }
}

Status EndSession(Connection* link, int timeout) {
  if (Status s = SendHeader(link, protocol::kEndSession)) return s;
  return AwaitSessionOver(link, timeout);
}

Status AwaitSessionOver(Connection* link, int timeout) {
  std::uint16_t code = 0;
  if (Status s = ReceiveHeader(link, &code, timeout)) return s;
  return code == protocol::kSessionOver ? 0 : message_status::kReceiveFailed;
}

}  // namespace tarvex
