// The device's side of the file-exchange requests, over a link that has
// logged in (see device_link.h). Each call sends one request and reads its
// whole reply; `timeout` (tenths of a second) applies to every receive.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/transport/connection.h"

namespace tarvex {

struct DeviceUser {
  std::uint32_t id = 0;
  std::string name;
};

struct AddUserReply {
  std::uint32_t id = 0;    // 0 when no user was added
  bool duplicate = false;  // a user of that name exists
};

// A request that failed on the device's own side: its content source or sink
// failed, or an argument does not fit the request. When content was under
// way the stream is out of step and the link must be closed.
inline constexpr Status kDeviceSideFailure = 1000;

// Gives up to n bytes of content at `out`: how many (0 at the end, below 0
// on failure).
using ContentSource = std::function<long(char* out, std::size_t n)>;
// Takes the next piece of content; false stops the transfer.
using ContentSink = std::function<bool(std::string_view piece)>;

struct PutFileRequest {
  std::uint32_t user_id = 0;
  std::string name;
  std::string directory;  // complete, ending in a separator
  std::uint32_t size = 0;
};

struct GetFileRequest {
  std::uint32_t user_id = 0;
  std::uint16_t track_flag = 0;  // protocol::get_file::kTrack records the download
  std::string name;
  std::string directory;
};

struct GetFileReply {
  std::uint32_t status = 0;  // protocol::get_file statuses
  std::uint32_t size = 0;
  std::string name;       // as the server echoes them, with status 0
  std::string directory;
};

// One entry of a directory listing; the stamp is 12 bytes ("YYYYMMDDhhmm",
// twelve "0", or twelve zero bytes when the server found no file).
struct ListingEntry {
  bool is_directory = false;
  std::string stamp;
  std::uint32_t size = 0;
  std::string name;
  std::string directory;
};

struct TrackedFile {
  std::string stamp;
  std::uint32_t size = 0;
  std::string name;
  std::string directory;
};

// 101: sends the request, then `size` bytes from `source`, and reads the
// reply; *reply_status gets its status, widened with its sign, to be read
// with protocol::PutFileStatus::Read.
Status RequestPutFile(Connection* link, const PutFileRequest& request, const ContentSource& source,
                      std::int32_t* reply_status, int timeout);
// 102: reads the block back into *reply; with status 0 the name, the
// directory and the content, which goes to `sink` piece by piece. With any
// other status nothing follows and the server ends the session
// (AwaitSessionOver).
Status RequestGetFile(Connection* link, const GetFileRequest& request, GetFileReply* reply,
                      const ContentSink& sink, int timeout);
// 103: the files tracked for a user, in the order of the files list.
Status RequestTrackedFiles(Connection* link, std::uint32_t user_id, std::vector<TrackedFile>* files,
                           int timeout);
// 108: the entries of a directory (path ending in a separator, at most 254
// bytes, else kDeviceSideFailure).
Status RequestListDirectory(Connection* link, std::string_view path, std::vector<ListingEntry>* entries,
                            int timeout);
// 109: the drive roots.
Status RequestListDrives(Connection* link, std::vector<std::string>* drives, int timeout);

// Texts for people: what a PutFile reply status or a GetFile status means.
std::string DescribePutFileStatus(std::int32_t status);
std::string DescribeGetFileStatus(std::uint32_t status);

// 111: the server's version tag, such as "<QLXServerVersion=1.20>".
Status RequestServerInfo(Connection* link, std::string* tag, int timeout);
// 104: the device users in file order.
Status RequestUsers(Connection* link, std::vector<DeviceUser>* users, int timeout);
// 107: adds a user; name and note are cut to 49 characters.
Status RequestAddUser(Connection* link, std::string_view name, std::string_view note,
                      AddUserReply* reply, int timeout);
// 110: the user's directory on the desktop, none when there is none.
Status RequestUserDirectory(Connection* link, std::uint32_t user_id,
                            std::optional<std::string>* path, int timeout);
// Code 2, then the server's code 3.
Status EndSession(Connection* link, int timeout);
// Reads the server's code 3 that ends a session it ended itself.
Status AwaitSessionOver(Connection* link, int timeout);

}  // namespace tarvex
