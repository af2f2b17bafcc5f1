#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <vector>

#include "platform/path.h"
#include "platform/atomic_file.h"
#include "platform/atomic_file_native.h"
#include "platform/text_line_reader.h"

namespace tarvex {
namespace {

// The process's umask, read without changing it (umask() would, for every
// thread at once). 022 when the kernel does not report it.
mode_t ProcessUmask() {
  TextLineReader status("/proc/self/status", kNoLineLimit);
  std::string line;
  while (status.ReadLine(&line)) {
    if (line.rfind("Umask:", 0) == 0) {
      return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    }
  }
  return 022;
}

// 0 when a file may be written at path, otherwise the errno value that
// says why not.
int CheckTarget(const std::string& path) {
  const std::string name = Basename(path);
  if (name.empty() || path.find('\0') != std::string::npos) return EINVAL;
  if (name.size() > NAME_MAX) return ENAMETOOLONG;
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) return EISDIR;
    if (::access(path.c_str(), W_OK) != 0) return errno;
  }
  return 0;
}

}  // namespace

int SaveCalls::Create(std::string* name_template, int suffix_length, SaveFile* file) {
  const int fd = ::mkostemps(name_template->data(), suffix_length, O_CLOEXEC);
  *file = fd < 0 ? kNoSaveFile : fd;
  return fd < 0 ? errno : 0;
}

int SaveCalls::Write(SaveFile file, std::string_view bytes) {
  const int fd = static_cast<int>(file);
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

int SaveCalls::Sync(SaveFile file) { return ::fsync(static_cast<int>(file)) == 0 ? 0 : errno; }

int SaveCalls::Rename(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int SaveCalls::CreateUnnamed(const std::string& directory, SaveFile* file) {
  const int fd = ::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  *file = fd < 0 ? kNoSaveFile : fd;
  return fd < 0 ? errno : 0;
}

int SaveCalls::Link(SaveFile file, const std::string& to) {
  const std::string self = "/proc/self/fd/" + std::to_string(file);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

void CloseSaveFile(SaveFile file) { ::close(static_cast<int>(file)); }

void RemoveSaveFile(const std::string& path) { ::unlink(path.c_str()); }

int ClosedFileError() { return EBADF; }

void MakeRenameDurable(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

AtomicFile::AtomicFile(std::string path, SaveCalls& calls, Kind kind)
    : path_(std::move(path)), calls_(calls) {
  if (int refused = CheckTarget(path_)) {
    Fail(refused);
    return;
  }
  if (kind == Kind::kUpload) {
    SaveFile file = kNoSaveFile;
    const int failed = calls_.CreateUnnamed(Dirname(path_), &file);
    if (failed == 0) {
      file_ = file;
      unnamed_ = true;
    } else if (failed != EOPNOTSUPP && failed != EISDIR && failed != EINVAL) {
      Fail(failed);
      return;
    } else {
      // No unnamed files here: what crashed uploads left goes first.
      RemoveStaleUploadFiles(Dirname(path_));
      if (!CreateNamed(kUploadSuffix)) return;
    }
    // Held until the file is gone or renamed: a cleaner leaves it alone.
    ::flock(static_cast<int>(file_), LOCK_EX | LOCK_NB);
  } else if (!CreateNamed(kSaveSuffix)) {
    return;
  }
  struct stat old_file {};
  const mode_t mode = ::stat(path_.c_str(), &old_file) == 0
                          ? static_cast<mode_t>(old_file.st_mode & 07777)
                          : static_cast<mode_t>(0666 & ~ProcessUmask());
  ::fchmod(static_cast<int>(file_), mode);
}

bool AtomicFile::LinkUnnamed() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = TemporaryName(path_, RandomCharacters(kRandomLength), kUploadSuffix);
    const int failed = calls_.Link(file_, name);
    if (failed == 0) {
      temporary_ = std::move(name);
      unnamed_ = false;
      return true;
    }
    if (failed != EEXIST) return Fail(failed);
  }
  return Fail(EEXIST);
}

int RemoveStaleSaveFiles(const std::string& directory,
                         std::initializer_list<std::string_view> legacy_names) {
  DIR* listing = ::opendir(directory.empty() ? "." : directory.c_str());
  if (listing == nullptr) return 0;
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string_view name = entry->d_name;
    if (IsSaveLeftover(name, legacy_names)) stale.emplace_back(name);
  }
  ::closedir(listing);
  int removed = 0;
  for (const std::string& name : stale) {
    struct stat status {};
    const std::string path = JoinPath(directory, name);
    if (::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
        ::unlink(path.c_str()) == 0) {
      ++removed;
    }
  }
  return removed;
}

int RemoveStaleUploadFiles(const std::string& directory, int min_age_seconds) {
  DIR* listing = ::opendir(directory.empty() ? "." : directory.c_str());
  if (listing == nullptr) return 0;
  std::vector<std::string> candidates;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string_view name = entry->d_name;
    if (IsUploadLeftover(name)) {
      candidates.emplace_back(name);
    }
  }
  ::closedir(listing);
  int removed = 0;
  const std::time_t now = std::time(nullptr);
  for (const std::string& name : candidates) {
    const std::string path = JoinPath(directory, name);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat opened {};
    struct stat named {};
    // Removed only when no writer holds it and the name still leads to the
    // file that was locked.
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
        opened.st_mtime <= now - min_age_seconds && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::lstat(path.c_str(), &named) == 0 && named.st_ino == opened.st_ino &&
        named.st_dev == opened.st_dev && ::unlink(path.c_str()) == 0) {
      ++removed;
    }
    ::close(fd);
  }
  return removed;
}

}  // namespace tarvex
