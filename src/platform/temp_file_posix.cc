#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/atomic_file.h"
#include "platform/temp_file.h"

namespace tarvex {
namespace {

std::string TemporaryDirectory() {
  const char* tmpdir = std::getenv("TMPDIR");
  std::string directory = (tmpdir != nullptr && tmpdir[0] == '/') ? tmpdir : "/tmp";
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  return directory == "/" ? "" : directory;
}

// Makes a file from a template ending in XXXXXX; its descriptor or -1.
int MakeUnique(std::string* name_template) {
  return ::mkostemp(name_template->data(), O_CLOEXEC);
}

}  // namespace

std::optional<TemporaryFile> TemporaryFile::Create(std::string_view name_prefix) {
  if (name_prefix.find('/') != std::string_view::npos) return std::nullopt;
  std::string path = TemporaryDirectory() + "/" + std::string(name_prefix) + "XXXXXX";
  const int fd = MakeUnique(&path);
  if (fd < 0) return std::nullopt;
  ::close(fd);
  return TemporaryFile(std::move(path));
}

TemporaryFile::~TemporaryFile() {
  if (!path_.empty()) ::unlink(path_.c_str());
}

bool ReplaceScratchFile(const std::string& path, std::string_view contents) {
  const std::size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string temporary = directory + ".scratch.XXXXXX";
  const int fd = MakeUnique(&temporary);
  if (fd < 0) return false;
  const bool written = SaveCalls::Default().Write(fd, contents) == 0;
  const bool closed = ::close(fd) == 0;
  if (written && closed && ::rename(temporary.c_str(), path.c_str()) == 0) return true;
  ::unlink(temporary.c_str());
  return false;
}

}  // namespace tarvex
