// The files of a fuzz world kept as they were first made, so that each input
// undoes only what the one before it changed instead of building the tree
// again.
//
// KeptFile: one file whose contents the world keeps. Put writes it (plain
// write) and remembers which file it made; Intact tells, with one stat,
// whether that file is still there unchanged: a save renamed over it, a
// removal or a write in place (a changed size or modification time) all
// read as changed.
//
// WorldSnapshot: every file and directory under a world's top directory as
// it stands when the snapshot is taken. Restore puts the world back after an
// input: it removes each path the input wrote (as its jail recorded them),
// then rewrites each kept file that is missing or changed and removes every
// directory that appeared in a kept one (a kept directory's link count tells
// that one appeared). Files outside the snapshot that nobody recorded (the
// logs the session writes at the top) are left as they are.
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

namespace tarvex::fuzz {

class KeptFile {
 public:
  KeptFile(std::string path, std::string contents);
  void Put();
  bool Intact() const;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string contents_;
  struct stat made_ {};  // as Put left it
};

class WorldSnapshot {
 public:
  explicit WorldSnapshot(const std::string& top);
  void Restore(const std::vector<std::string>& written);

 private:
  struct KeptDirectory {
    std::string path;
    std::vector<std::string> subdirectories;  // names
    nlink_t links = 0;
  };
  void TrimDirectory(const KeptDirectory& directory) const;

  std::vector<KeptFile> files_;
  std::vector<KeptDirectory> directories_;
};

}  // namespace tarvex::fuzz
