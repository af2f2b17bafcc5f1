#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/path.h"
#include "platform/file_info.h"

namespace tarvex {

FileInfo StatPath(const std::string& path) {
  FileInfo info;
  struct stat status {};
  if (path.empty() || path.find('\0') != std::string::npos || ::stat(path.c_str(), &status) != 0) {
    return info;
  }
  info.found = true;
  info.is_directory = S_ISDIR(status.st_mode);
  info.is_regular = S_ISREG(status.st_mode);
  info.size = static_cast<std::uint64_t>(status.st_size);
  info.modified = ToLocalDateTime(status.st_mtim.tv_sec);
  return info;
}

std::string ChangeStamp(const std::string& path) {
  struct stat status {};
  if (path.empty() || path.find('\0') != std::string::npos || ::stat(path.c_str(), &status) != 0) return "";
  return std::to_string(status.st_ino) + ":" + std::to_string(status.st_size) + ":" +
         std::to_string(status.st_mtim.tv_sec) + "." + std::to_string(status.st_mtim.tv_nsec);
}

bool IsWritable(const std::string& path) {
  return !path.empty() && path.find('\0') == std::string::npos && ::access(path.c_str(), W_OK) == 0;
}

FileErrorKind ClassifyFileError(int error_number, const std::string& path) {
  switch (error_number) {
    case ENOENT: {
      const std::string directory = Dirname(path);
      struct stat status {};
      const bool directory_exists = ::stat(directory.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
      return directory_exists ? FileErrorKind::kNotFound : FileErrorKind::kBadPath;
    }
    case ENOTDIR:
    case ENAMETOOLONG:
      return FileErrorKind::kBadPath;
    case EMFILE:
    case ENFILE:
      return FileErrorKind::kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return FileErrorKind::kAccessDenied;
    case EBUSY:
    case ETXTBSY:
      return FileErrorKind::kBusy;
    case ENOSPC:
    case EDQUOT:
      return FileErrorKind::kDiskFull;
    case EIO:
      return FileErrorKind::kDeviceError;
    default:
      return FileErrorKind::kOther;
  }
}

std::string SystemErrorText(int error_number) {
  char buffer[256];
  // The GNU strerror_r returns the text, which may or may not be the buffer.
  return strerror_r(error_number, buffer, sizeof buffer);
}

}  // namespace tarvex
