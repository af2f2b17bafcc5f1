// Facts about one file-system entry, and the kinds and texts of file
// failures.
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

// stat() of the path (GetFileAttributesExW on Windows), links followed; found
// is false when there is no entry (or it cannot be looked at). Safe to call
// from any thread.
FileInfo StatPath(const std::string& path);

// Identifies one state of an entry: it differs after the entry was replaced
// (a new inode; on Windows a new file index), written (mtime to the
// nanosecond; on Windows to the 100 nanoseconds) or resized. Empty when
// there is no entry. Safe to call from any thread.
std::string ChangeStamp(const std::string& path);

// True when this process may write the file or create files in the
// directory at path.
bool IsWritable(const std::string& path);

// What kind of failure the system's error number (errno on Linux,
// GetLastError() on Windows) met on `path` is, in terms that do not depend on
// the platform (protocol/file_cause.h gives each its cause):
// ENOENT is kNotFound when the path's directory exists and kBadPath
// otherwise; ENOTDIR and ENAMETOOLONG kBadPath; EMFILE, ENFILE
// kTooManyOpenFiles; EACCES, EPERM, EROFS, EISDIR kAccessDenied; EBUSY,
// ETXTBSY kBusy; ENOSPC, EDQUOT kDiskFull; EIO kDeviceError; anything else
// kOther. On Windows likewise: ERROR_FILE_NOT_FOUND as ENOENT;
// ERROR_PATH_NOT_FOUND, ERROR_INVALID_NAME, ERROR_BAD_PATHNAME,
// ERROR_FILENAME_EXCED_RANGE, ERROR_DIRECTORY, ERROR_INVALID_DRIVE kBadPath;
// ERROR_TOO_MANY_OPEN_FILES kTooManyOpenFiles; ERROR_ACCESS_DENIED and the
// sharing, lock and write-protect errors kAccessDenied; ERROR_BUSY kBusy;
// ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL kDiskFull; the CRC, seek, sector,
// read, write, not-ready and device errors kDeviceError.
enum class FileErrorKind {
  kOther,
  kNotFound,
  kBadPath,
  kTooManyOpenFiles,
  kAccessDenied,
  kBusy,
  kDiskFull,
  kDeviceError,
  kLast = kDeviceError,
};
FileErrorKind ClassifyFileError(int error_number, const std::string& path);

// The system's text for an error number (strerror; FormatMessageW on
// Windows).
std::string SystemErrorText(int error_number);

}  // namespace tarvex
