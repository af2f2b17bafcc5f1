#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "platform/path.h"
#include "platform/app_folder.h"
#include "platform/files.h"

namespace tarvex {
namespace {

constexpr int kMaxLinks = 40;

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
  const std::string_view last = SplitPath(path).name;
  return last == "." || last == "..";
}

bool IsDirectory(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

bool MakeDirectories(const std::string& path, unsigned mode) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string prefix = path.substr(0, slash);
    if (::mkdir(prefix.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST && !IsDirectory(prefix)) {
      return false;
    }
    if (slash == std::string::npos) break;
  }
  return IsDirectory(path);
}

bool CreateIfMissing(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  struct stat status {};
  return errno == EEXIST && ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
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
