// Facts about one file-system entry, and the causes and texts of file
// failures, as the file-exchange service reports them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/local_clock.h"

namespace tarvex {

struct FileInfo {
  bool found = false;
  bool is_directory = false;
  bool is_regular = false;
  std::uint64_t size = 0;
  // The last write in local time; none when it cannot be converted.
  std::optional<LocalDateTime> modified;
};

// stat() of the path, links followed; found is false when there is no entry
// (or it cannot be looked at). Safe to call from any thread.
FileInfo StatPath(const std::string& path);

// Identifies one state of an entry: it differs after the entry was replaced
// (a new inode), written (mtime to the nanosecond) or resized. Empty when
// there is no entry. Safe to call from any thread.
std::string ChangeStamp(const std::string& path);

// True when this process may write the file or create files in the
// directory at path.
bool IsWritable(const std::string& path);

// The cause codes of a file that cannot be opened, created or written.
namespace file_cause {
inline constexpr std::uint16_t kGeneric = 1;
inline constexpr std::uint16_t kNotFound = 2;
inline constexpr std::uint16_t kBadPath = 3;
inline constexpr std::uint16_t kTooManyOpenFiles = 4;
inline constexpr std::uint16_t kAccessDenied = 5;
inline constexpr std::uint16_t kInvalidFile = 6;
inline constexpr std::uint16_t kRemoveCurrentDirectory = 7;
inline constexpr std::uint16_t kDirectoryFull = 8;
inline constexpr std::uint16_t kBadSeek = 9;
inline constexpr std::uint16_t kHardwareError = 10;
inline constexpr std::uint16_t kSharingViolation = 11;
inline constexpr std::uint16_t kLockViolation = 12;
inline constexpr std::uint16_t kDiskFull = 13;
inline constexpr std::uint16_t kEndOfFile = 14;
}  // namespace file_cause

// Maps an errno value met on `path` to its cause: ENOENT is "not found" when
// the path's directory exists and "bad path" otherwise; ENOTDIR and
// ENAMETOOLONG "bad path"; EMFILE, ENFILE "too many open files"; EACCES,
// EPERM, EROFS, EISDIR "access denied"; EBUSY, ETXTBSY "sharing violation";
// ENOSPC, EDQUOT "disk full"; EIO "hardware error"; anything else "generic".
std::uint16_t FileErrorCause(int error_number, const std::string& path);

// The system's text for an errno value (strerror).
std::string SystemErrorText(int error_number);

}  // namespace tarvex
