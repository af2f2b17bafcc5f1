#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_reader.h"

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

FileReader::~FileReader() {
  if (file_ != -1) ::close(static_cast<int>(file_));
}

long FileReader::Read(char* out, std::size_t n) {
  if (file_ == -1) return -1;
  std::size_t got = 0;
  while (got < n) {
    const ssize_t read = ::read(static_cast<int>(file_), out + got, n - got);
    if (read < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      return -1;
    }
    if (read == 0) break;
    got += static_cast<std::size_t>(read);
  }
  return static_cast<long>(got);
}

int ReadWholeFile(const std::string& path, std::string* contents) {
  contents->clear();
  FileReader file(path);
  if (!file.IsOpen()) return file.Missing() || file.Error() != ENOENT ? file.Error() : ENOLINK;
  char chunk[64 * 1024];
  for (;;) {
    const long got = file.Read(chunk, sizeof chunk);
    if (got < 0) {
      contents->clear();
      return file.Error();
    }
    if (got == 0) return 0;
    contents->append(chunk, static_cast<std::size_t>(got));
  }
}

}  // namespace tarvex
