// FuzzWorld: the private world the fuzz entries run in, made once per process
// (the entry points of libFuzzer carry no context, so each entry keeps its
// world in a function-local static). Under one fresh directory (on /dev/shm
// when there is one, for speed, else $TMPDIR or /tmp) it holds the per-user
// folders, a data directory, a root directory and a working directory; the
// environment (XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_RUNTIME_DIR, HOME, TMPDIR)
// points into it before anything reads it, and the process works in it, so
// relative paths land there too. The directory is removed at exit.
#pragma once

#include <string>

namespace tarvex::fuzz {

class FuzzWorld {
 public:
  FuzzWorld();
  ~FuzzWorld();
  FuzzWorld(const FuzzWorld&) = delete;
  FuzzWorld& operator=(const FuzzWorld&) = delete;

  // Every path without a trailing separator.
  const std::string& Top() const { return top_; }
  std::string DataDir() const { return top_ + "/data"; }
  std::string RootDir() const { return top_ + "/root"; }
  std::string WorkDir() const { return top_ + "/work"; }
  std::string Scratch() const { return top_ + "/scratch"; }

  // Whether path (absolute, or relative to the working directory) lies
  // inside the world once its existing directories are resolved.
  bool Holds(const std::string& path) const;

 private:
  std::string top_;  // resolved, no symbolic link on the way
};

// Writes a whole file, replacing it (plain writes: scratch data only).
void PutFile(const std::string& path, const std::string& contents);
// A whole file, "" when it cannot be read.
std::string GetFile(const std::string& path);

}  // namespace tarvex::fuzz
