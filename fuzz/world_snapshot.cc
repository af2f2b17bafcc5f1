#include "world_snapshot.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "fuzz_world.h"

namespace tarvex::fuzz {
namespace fs = std::filesystem;

KeptFile::KeptFile(std::string path, std::string contents)
    : path_(std::move(path)), contents_(std::move(contents)) {}

void KeptFile::Put() {
  PutFile(path_, contents_);
  if (::stat(path_.c_str(), &made_) != 0) made_ = {};
}

bool KeptFile::Intact() const {
  struct stat now {};
  return ::stat(path_.c_str(), &now) == 0 && now.st_ino == made_.st_ino &&
         now.st_dev == made_.st_dev && now.st_size == made_.st_size &&
         now.st_mtim.tv_sec == made_.st_mtim.tv_sec && now.st_mtim.tv_nsec == made_.st_mtim.tv_nsec;
}

WorldSnapshot::WorldSnapshot(const std::string& top) {
  std::error_code error;
  std::vector<fs::path> pending = {top};
  while (!pending.empty()) {
    KeptDirectory directory{pending.back().string(), {}, 0};
    pending.pop_back();
    for (fs::directory_iterator it(directory.path, error), end; !error && it != end;
         it.increment(error)) {
      std::error_code kind;
      if (it->is_directory(kind) && !it->is_symlink(kind)) {
        directory.subdirectories.push_back(it->path().filename().string());
        pending.push_back(it->path());
      } else if (it->is_regular_file(kind)) {
        files_.emplace_back(it->path().string(), GetFile(it->path().string()));
        files_.back().Put();
      }
    }
    struct stat info {};
    if (::stat(directory.path.c_str(), &info) == 0) directory.links = info.st_nlink;
    directories_.push_back(std::move(directory));
  }
}

void WorldSnapshot::Restore(const std::vector<std::string>& written) {
  std::error_code ignored;
  for (const std::string& path : written) fs::remove(path, ignored);
  for (KeptFile& file : files_) {
    if (!file.Intact()) file.Put();
  }
  for (KeptDirectory& directory : directories_) {
    struct stat info {};
    if (::stat(directory.path.c_str(), &info) != 0 || info.st_nlink == directory.links) continue;
    TrimDirectory(directory);
    if (::stat(directory.path.c_str(), &info) == 0) directory.links = info.st_nlink;
  }
}

void WorldSnapshot::TrimDirectory(const KeptDirectory& directory) const {
  std::error_code error;
  for (fs::directory_iterator it(directory.path, error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    std::error_code kind;
    if (it->is_directory(kind) && !it->is_symlink(kind) &&
        std::find(directory.subdirectories.begin(), directory.subdirectories.end(), name) ==
            directory.subdirectories.end()) {
      std::error_code ignored;
      fs::remove_all(it->path(), ignored);
    }
  }
}

}  // namespace tarvex::fuzz
