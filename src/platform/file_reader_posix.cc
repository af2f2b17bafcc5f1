#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_reader.h"
#include "platform/file_reader_native.h"

namespace tarvex {

FileReader::FileReader(const std::string& path) {
  struct stat status {};
  if (path.empty() || path.find('\0') != std::string::npos) {
    error_ = ENOENT;
    missing_ = true;
    return;
  }
  if (::stat(path.c_str(), &status) != 0) {
    error_ = errno;
    missing_ = error_ == ENOENT && ::lstat(path.c_str(), &status) != 0 && errno == ENOENT;
    return;
  }
  if (S_ISDIR(status.st_mode)) {
    error_ = EISDIR;
    return;
  }
  if (!S_ISREG(status.st_mode)) {
    // Opening a device node may do something; a FIFO may wait for a writer.
    error_ = EINVAL;
    not_regular_ = true;
    return;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error_ = errno;
    return;
  }
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    error_ = EINVAL;
    not_regular_ = true;
    ::close(fd);
    return;
  }
  file_ = fd;
  size_ = static_cast<std::uint64_t>(status.st_size);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

long ReadFromFile(std::intptr_t file, char* out, std::size_t n, int* error) {
  for (;;) {
    const ssize_t read = ::read(static_cast<int>(file), out, n);
    if (read >= 0) return static_cast<long>(read);
    if (errno == EINTR) continue;
    *error = errno;
    return -1;
  }
}

void CloseReadFile(std::intptr_t file) { ::close(static_cast<int>(file)); }

int NotFoundError() { return ENOENT; }

int DanglingLinkError() { return ENOLINK; }

}  // namespace tarvex
