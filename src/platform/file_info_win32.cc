#include "platform/file_info.h"

#include <windows.h>

#include "platform/file_handle_win32.h"
#include "platform/local_time_win32.h"
#include "platform/path.h"
#include "platform/wide_text_win32.h"

namespace tarvex {
namespace {

std::uint64_t Join(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }

bool IsFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

FileInfo StatPath(const std::string& path) {
  FileInfo info;
  if (!IsUsablePath(path)) return info;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(ToWide(path).c_str(), GetFileExInfoStandard, &data)) return info;
  FILETIME written = data.ftLastWriteTime;
  DWORD attributes = data.dwFileAttributes;
  std::uint64_t size = Join(data.nFileSizeHigh, data.nFileSizeLow);
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    // A link: what it leads to counts.
    const UniqueHandle target = OpenForAttributes(path);
    BY_HANDLE_FILE_INFORMATION followed{};
    if (!target.IsValid() || !::GetFileInformationByHandle(target.Get(), &followed)) return info;
    written = followed.ftLastWriteTime;
    attributes = followed.dwFileAttributes;
    size = Join(followed.nFileSizeHigh, followed.nFileSizeLow);
  }
  info.found = true;
  info.is_directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info.is_regular = !info.is_directory && (attributes & FILE_ATTRIBUTE_DEVICE) == 0;
  info.size = info.is_directory ? 0 : size;
  info.modified = FileTimeToLocalDateTime(written);
  return info;
}

std::string ChangeStamp(const std::string& path) {
  const UniqueHandle file = OpenForAttributes(path);
  BY_HANDLE_FILE_INFORMATION status{};
  if (!file.IsValid() || !::GetFileInformationByHandle(file.Get(), &status)) return "";
  // The volume and file index stand for the inode; the write time is in
  // 100-nanosecond steps.
  return std::to_string(status.dwVolumeSerialNumber) + "." +
         std::to_string(Join(status.nFileIndexHigh, status.nFileIndexLow)) + ":" +
         std::to_string(Join(status.nFileSizeHigh, status.nFileSizeLow)) + ":" +
         std::to_string(Join(status.ftLastWriteTime.dwHighDateTime, status.ftLastWriteTime.dwLowDateTime));
}

bool IsWritable(const std::string& path) {
  if (!IsUsablePath(path)) return false;
  const std::wstring wide = ToWide(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // A folder's read-only attribute means nothing for what is made in it.
  if (!folder && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
  // Asking for the right itself lets Windows check the permissions; the open
  // changes nothing.
  const UniqueHandle opened(::CreateFileW(wide.c_str(), folder ? FILE_ADD_FILE : FILE_WRITE_DATA,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return opened.IsValid();
}

FileErrorKind ClassifyFileError(int error_number, const std::string& path) {
  switch (static_cast<DWORD>(error_number)) {
    case ERROR_FILE_NOT_FOUND:
      return IsFolder(Dirname(path)) ? FileErrorKind::kNotFound : FileErrorKind::kBadPath;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_DRIVE:
      return FileErrorKind::kBadPath;
    case ERROR_TOO_MANY_OPEN_FILES:
      return FileErrorKind::kTooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return FileErrorKind::kAccessDenied;
    case ERROR_BUSY:
      return FileErrorKind::kBusy;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return FileErrorKind::kDiskFull;
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
    case ERROR_SEEK:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY:
    case ERROR_DEVICE_NOT_CONNECTED:
      return FileErrorKind::kDeviceError;
    default:
      return FileErrorKind::kOther;
  }
}

std::string SystemErrorText(int error_number) { return WindowsErrorText(static_cast<unsigned long>(error_number)); }

}  // namespace tarvex
