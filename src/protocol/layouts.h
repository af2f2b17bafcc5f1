// Byte layouts of the request blocks and reply items of the file-exchange
// service. Offsets count from a block's first byte, its 16-bit length field
// included; numbers are big-endian unless a field says otherwise. Used by the
// server to read requests and by the device side to build them, so both ends
// agree byte for byte.
#pragma once

#include <cstddef>

namespace tarvex::protocol {

// An enciphered frame: a clear header [u16 10][u32 padded length][u32 plain
// length], then the padded length of ciphertext.
namespace frame {
inline constexpr std::size_t kHeaderLength = 10;
inline constexpr std::size_t kPaddedLength = 2;  // u32
inline constexpr std::size_t kPlainLength = 6;   // u32
}  // namespace frame

// Login request (the first block a device sends).
namespace login {
inline constexpr std::size_t kLength = 36;
inline constexpr std::size_t kServiceId = 2;   // u16
inline constexpr std::size_t kLogin = 4;       // 16 bytes, 15 read
inline constexpr std::size_t kPassword = 20;   // 16 bytes, 15 read
inline constexpr std::size_t kFieldWidth = 16;
inline constexpr std::size_t kFieldRead = 15;
}  // namespace login

// A reply item [u16 4][u16 value]: counts and text lengths.
inline constexpr std::size_t kCountItemLength = 4;

// PutFile (101): the block, then name, directory and content unframed.
namespace put_file {
inline constexpr std::size_t kBlockLength = 20;
inline constexpr std::size_t kUserId = 2;         // u32
inline constexpr std::size_t kNameLength = 12;    // u16
inline constexpr std::size_t kDirectoryLength = 14;  // u16
inline constexpr std::size_t kFileSize = 16;      // u32
inline constexpr std::size_t kChunk = 5000;       // content is received in chunks of this size
// Reply: [u16 6][u32 status, the 16-bit status widened with its sign].
inline constexpr std::size_t kReplyLength = 6;
inline constexpr std::size_t kReplyStatus = 2;
}  // namespace put_file

// GetFile (102): the block (sent back with status and size), then name and
// directory; the reply adds name, directory and the content in items.
namespace get_file {
inline constexpr std::size_t kBlockLength = 20;
inline constexpr std::size_t kUserId = 2;         // u32
inline constexpr std::size_t kStatus = 6;         // u32, set by the server
inline constexpr std::size_t kTrackFlag = 10;     // u16
inline constexpr std::size_t kNameLength = 12;    // u16
inline constexpr std::size_t kDirectoryLength = 14;  // u16
inline constexpr std::size_t kFileSize = 16;      // u32, set by the server
inline constexpr std::size_t kItem = 10000;       // content items hold at most this much
}  // namespace get_file

// ListTrackedFiles (103).
// Reply: a count item, then per file the stamp, [u32 size], [u16 name
// length], the name, [u16 directory length], the directory.
namespace list_tracked {
inline constexpr std::size_t kBlockLength = 6;
inline constexpr std::size_t kUserId = 2;  // u32
}  // namespace list_tracked

// Listings of ListDirectory (108) and ListDrives (109).
namespace listing {
inline constexpr std::size_t kValue = 2;          // u32, sent back in the header
inline constexpr std::size_t kDrivesBlockLength = 6;
inline constexpr std::size_t kPath = 8;           // ListDirectory: zero-terminated path
inline constexpr std::size_t kPathWidth = 255;
inline constexpr std::size_t kDirectoryBlockLength = kPath + kPathWidth;  // 263
// The header: [u16 14][u32 0][u32 value][u32 count]. Then per directory
// entry: [u16 1 directory / 0 file], the stamp, [u32 size], [u16 name
// length], the name, [u16 path length], the path (a text of length 0 is not
// sent); per drive: [u16 0], [u16 name length], the name.
inline constexpr std::size_t kHeaderLength = 14;
inline constexpr std::size_t kHeaderValue = 6;
inline constexpr std::size_t kHeaderCount = 10;
}  // namespace listing

// A time stamp: "YYYYMMDDhhmm", twelve "0" when the time cannot be
// converted, twelve zero bytes when no file was found.
inline constexpr std::size_t kStampLength = 12;

// AddUser (107) and the 50-byte name fields of ListUsers.
namespace add_user {
inline constexpr std::size_t kFieldWidth = 50;    // zero-terminated, 49 characters
inline constexpr std::size_t kName = 2;
inline constexpr std::size_t kNote = kName + kFieldWidth;
inline constexpr std::size_t kBlockLength = kNote + kFieldWidth;  // 102
// Reply: [00 00][u32 id][u32 duplicate flag, little-endian].
inline constexpr std::size_t kReplyLength = 10;
inline constexpr std::size_t kReplyId = 2;
inline constexpr std::size_t kReplyDuplicate = 6;
}  // namespace add_user

// GetUserDirectory (110): the block comes back with the path's length.
namespace user_directory {
inline constexpr std::size_t kBlockLength = 8;
inline constexpr std::size_t kUserId = 2;      // u32
inline constexpr std::size_t kPathLength = 6;  // u16, set by the server
}  // namespace user_directory

// DesktopSearch (105).
namespace search {
inline constexpr std::size_t kBlockLength = 116;
inline constexpr std::size_t kTag = 2;         // u32
inline constexpr std::size_t kTagWord = 6;     // u16
inline constexpr std::size_t kCount = 8;       // u32
inline constexpr std::size_t kFirst = 12;      // u32
inline constexpr std::size_t kText = 16;       // zero-terminated, 99 characters
inline constexpr std::size_t kTextWidth = 100;
// Reply header, block-shaped.
inline constexpr std::size_t kHeaderLength = 24;
inline constexpr std::size_t kHeaderStatus = 2;    // u32
inline constexpr std::size_t kHeaderTag = 6;       // u32
inline constexpr std::size_t kHeaderTagWord = 10;  // u16
inline constexpr std::size_t kHeaderTotal = 12;    // u32
inline constexpr std::size_t kHeaderCount = 16;    // u32
inline constexpr std::size_t kHeaderFirst = 20;    // u32
// Texts of a result record hold at most this many bytes.
inline constexpr std::size_t kMaxText = 32767;
}  // namespace search

}  // namespace tarvex::protocol
