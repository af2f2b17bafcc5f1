// The wire vocabulary of the device protocol: command codes, the service id,
// request codes and the statuses that replies carry. Defined once here and
// used by the server and by the device side (src/client) alike.
#pragma once

#include <cstdint>

namespace tarvex::protocol {

// Codes carried in command headers.
inline constexpr std::uint16_t kAuthReply = 1;     // server: a 2-byte status follows
inline constexpr std::uint16_t kEndSession = 2;    // device: ends the session
inline constexpr std::uint16_t kSessionOver = 3;   // server: just before it closes

// The service that devices log in to.
inline constexpr std::uint16_t kFileServiceId = 3;

// Authentication reply statuses.
inline constexpr std::uint16_t kAuthAccepted = 0;
inline constexpr std::uint16_t kAuthWrongCredentials = 6;
inline constexpr std::uint16_t kAuthUnknownService = 7;

// Requests of the file-exchange service.
namespace request {
inline constexpr std::uint16_t kPutFile = 101;
inline constexpr std::uint16_t kGetFile = 102;
inline constexpr std::uint16_t kListTrackedFiles = 103;
inline constexpr std::uint16_t kListUsers = 104;
inline constexpr std::uint16_t kDesktopSearch = 105;
inline constexpr std::uint16_t kAddUser = 107;
inline constexpr std::uint16_t kListDirectory = 108;
inline constexpr std::uint16_t kListDrives = 109;
inline constexpr std::uint16_t kGetUserDirectory = 110;
inline constexpr std::uint16_t kGetServerInfo = 111;
}  // namespace request

// PutFile reply status of a session that may not upload (file_cause.h reads
// the others).
inline constexpr std::uint16_t kPutFileRestricted = 115;

// GetFile reply statuses (offset 6 of the block sent back).
namespace get_file {
inline constexpr std::uint32_t kSending = 0;
inline constexpr std::uint32_t kNotFound = 1;
inline constexpr std::uint32_t kLocked = 2;
inline constexpr std::uint32_t kCannotOpen = 3;
// The track flag value that records a download.
inline constexpr std::uint16_t kTrack = 1;
}  // namespace get_file

// DesktopSearch reply statuses: a space of their own, 32 bits on the wire.
enum class SearchStatus : std::uint32_t {
  kOk = 0,
  kNoSearchAddress = 1001,
  kBadSearchAddress = 1002,
  kSearchFailed = 1003,
};

// Category codes of a search result.
namespace category {
inline constexpr std::uint16_t kOther = 0;
inline constexpr std::uint16_t kFile = 1;
inline constexpr std::uint16_t kWeb = 2;
inline constexpr std::uint16_t kEmail = 3;
inline constexpr std::uint16_t kChat = 4;
}  // namespace category

// The version that GetServerInfo reports, inside "<QLXServerVersion=%s>".
inline constexpr char kServerVersion[] = "1.20";

}  // namespace tarvex::protocol
