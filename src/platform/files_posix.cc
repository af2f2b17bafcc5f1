#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <string>
#include <vector>

#include "platform/app_folder.h"
#include "platform/files.h"

namespace tarvex {
namespace {

constexpr int kMaxLinks = 40;

// A temporary file made by mkstemp: closed, and removed unless kept, when
// the object goes.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string pattern) : name_(std::move(pattern)) {
    fd_ = ::mkstemp(name_.data());
    created_ = fd_ >= 0;
  }
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (created_ && !kept_) ::unlink(name_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int Descriptor() const { return fd_; }
  const std::string& Name() const { return name_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }
  void Keep() { kept_ = true; }

 private:
  std::string name_;
  int fd_ = -1;
  bool created_ = false;
  bool kept_ = false;
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// The process's umask, read without changing it (umask() would, for every
// thread at once). 022 when the kernel does not report it.
mode_t ProcessUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) {
      return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    }
  }
  return 022;
}

// Makes a finished rename durable; a failure here is not the caller's loss.
void SyncDirectory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::deque<std::string> SplitSegments(std::string_view path) {
  std::deque<std::string> segments;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) segments.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return segments;
}

std::string ReadLink(const std::string& link) {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t length = ::readlink(link.c_str(), buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(length));
      return buffer;
    }
    if (buffer.size() > 65536) return {};
    buffer.resize(buffer.size() * 2);
  }
}

bool NamesDirectory(std::string_view path) {
  if (path.back() == '/') return true;
  const std::size_t slash = path.rfind('/');
  const std::string_view last = slash == std::string_view::npos ? path : path.substr(slash + 1);
  return last == "." || last == "..";
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view contents) {
  if (path.empty() || path.back() == '/' || path.find('\0') != std::string::npos) return false;
  const std::size_t slash = path.rfind('/');
  const std::string prefix = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string directory = prefix.empty() ? "." : prefix;
  // A dot name, so directory listings of this system skip it.
  TemporaryFile temporary(prefix + "." + path.substr(prefix.size()) + ".XXXXXX");
  if (temporary.Descriptor() < 0) return false;

  struct stat old_file {};
  const mode_t mode = ::stat(path.c_str(), &old_file) == 0
                          ? static_cast<mode_t>(old_file.st_mode & 07777)
                          : static_cast<mode_t>(0666 & ~ProcessUmask());
  ::fchmod(temporary.Descriptor(), mode);

  if (!WriteAll(temporary.Descriptor(), contents)) return false;
  if (::fsync(temporary.Descriptor()) != 0) return false;
  if (!temporary.Close()) return false;
  if (::rename(temporary.Name().c_str(), path.c_str()) != 0) return false;
  temporary.Keep();
  SyncDirectory(directory);
  return true;
}

std::string NormalisePath(std::string_view path) {
  if (path.empty() || path.find('\0') != std::string_view::npos) return {};
  std::string full;
  if (path.front() != '/') {
    full = CurrentDirectory();
    if (full.empty()) return {};
    full += '/';
  }
  full += path;

  std::deque<std::string> pending = SplitSegments(full);
  std::string resolved;  // empty for the root, otherwise "/a/b"
  int links = 0;
  while (!pending.empty()) {
    std::string segment = std::move(pending.front());
    pending.pop_front();
    if (segment == ".") continue;
    if (segment == "..") {
      const std::size_t slash = resolved.rfind('/');
      resolved.erase(slash == std::string::npos ? 0 : slash);
      continue;
    }
    std::string candidate = resolved + "/" + segment;
    struct stat status {};
    if (::lstat(candidate.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
      if (++links > kMaxLinks) return {};
      const std::string target = ReadLink(candidate);
      if (target.empty()) return {};
      if (target.front() == '/') resolved.clear();
      std::deque<std::string> target_segments = SplitSegments(target);
      pending.insert(pending.begin(), target_segments.begin(), target_segments.end());
      continue;
    }
    resolved = std::move(candidate);
  }
  if (resolved.empty() || NamesDirectory(path)) resolved += '/';
  return resolved;
}

}  // namespace tarvex
