// The causes of a file that cannot be opened, created or read, as the
// file-exchange replies carry them (16 bits), and the one table that names
// the cause of a failure the platform met (platform/file_info.h).
#pragma once

#include <cstdint>

#include "platform/file_info.h"
#include "protocol/codes.h"

namespace tarvex::protocol {

enum class FileCause : std::uint16_t {
  kGeneric = 1,
  kNotFound = 2,
  kBadPath = 3,
  kTooManyOpenFiles = 4,
  kAccessDenied = 5,
  kInvalidFile = 6,
  kRemoveCurrentDirectory = 7,
  kDirectoryFull = 8,
  kBadSeek = 9,
  kHardwareError = 10,
  kSharingViolation = 11,
  kLockViolation = 12,
  kDiskFull = 13,
  kEndOfFile = 14,
};

constexpr std::uint16_t ToWire(FileCause cause) { return static_cast<std::uint16_t>(cause); }

constexpr FileCause CauseOf(FileErrorKind kind) {
  switch (kind) {
    case FileErrorKind::kNotFound: return FileCause::kNotFound;
    case FileErrorKind::kBadPath: return FileCause::kBadPath;
    case FileErrorKind::kTooManyOpenFiles: return FileCause::kTooManyOpenFiles;
    case FileErrorKind::kAccessDenied: return FileCause::kAccessDenied;
    case FileErrorKind::kBusy: return FileCause::kSharingViolation;
    case FileErrorKind::kDiskFull: return FileCause::kDiskFull;
    case FileErrorKind::kDeviceError: return FileCause::kHardwareError;
    case FileErrorKind::kOther: break;
  }
  return FileCause::kGeneric;
}

// A PutFile reply status read in its own vocabulary. The server reports a
// file it could not store by the cause of the platform's failure (CauseOf),
// so a value that no such cause has is the transport status of the
// server's receive that failed, even where it equals another cause
// (14, a receive that failed on an enciphered link, is no "end of file").
struct PutFileStatus {
  enum class Kind { kStored, kNotStored, kRestricted, kReceiveFailed };
  Kind kind = Kind::kStored;
  FileCause cause = FileCause::kGeneric;  // with kNotStored
  std::int32_t receive_status = 0;        // with kReceiveFailed

  static constexpr PutFileStatus Read(std::int32_t wire);
};

constexpr PutFileStatus PutFileStatus::Read(std::int32_t wire) {
  if (wire == 0) return {};
  if (wire == kPutFileRestricted) return {Kind::kRestricted};
  for (auto kind = FileErrorKind::kOther; kind <= FileErrorKind::kLast;
       kind = static_cast<FileErrorKind>(static_cast<int>(kind) + 1)) {
    if (ToWire(CauseOf(kind)) == wire) return {Kind::kNotStored, CauseOf(kind)};
  }
  return {Kind::kReceiveFailed, FileCause::kGeneric, wire};
}

}  // namespace tarvex::protocol
