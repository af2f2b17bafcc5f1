// JailSaveCalls: the system calls of a save, refused (EACCES) for any file
// outside the fuzz world. A fuzzed session may name any path on the machine
// for an upload; with these calls it can only ever write inside the world.
// An upload's unnamed file for a directory outside the world is made in the
// world's scratch directory instead: it has no name there, and the link
// that would give it one outside is refused, so such an upload goes as far
// as its commit and fails there, as in a directory the server may not write.
//
// The jail also notes every path a save made a name at (a temporary file,
// a link, a rename's target), so that the world can undo just those
// (WorldSnapshot::Restore). TakeWritten hands the notes over and clears them.
#pragma once

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_world.h"
#include "platform/atomic_file.h"

namespace tarvex::fuzz {

class JailSaveCalls : public SaveCalls {
 public:
  explicit JailSaveCalls(const FuzzWorld& world) : world_(world) {}

  int Create(std::string* name_template, int suffix_length, SaveFile* fd) override {
    if (!world_.Holds(*name_template)) return EACCES;
    return Note(SaveCalls::Create(name_template, suffix_length, fd), *name_template);
  }
  int Rename(const std::string& from, const std::string& to) override {
    if (!world_.Holds(from) || !world_.Holds(to)) return EACCES;
    return Note(SaveCalls::Rename(from, to), to);
  }
  int CreateUnnamed(const std::string& directory, SaveFile* fd) override {
    const bool inside = world_.Holds(directory + "/unnamed");
    return SaveCalls::CreateUnnamed(inside ? directory : world_.Scratch(), fd);
  }
  int Link(SaveFile fd, const std::string& to) override {
    if (!world_.Holds(to)) return EACCES;
    return Note(SaveCalls::Link(fd, to), to);
  }

  std::vector<std::string> TakeWritten() { return std::exchange(written_, {}); }

 private:
  int Note(int result, const std::string& path) {
    if (result == 0) written_.push_back(path);
    return result;
  }

  const FuzzWorld& world_;
  std::vector<std::string> written_;
};

}  // namespace tarvex::fuzz
