// TempDir: a fresh private directory in the system's temporary folder ($TMPDIR
// or /tmp on Linux), removed with the object.
#pragma once

#include <string>

namespace tarvex::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory, without a trailing separator.
  const std::string& Path() const { return path_; }
  // Path() + "/" + name.
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Reads a whole regular file ("" when it cannot); writes one, replacing it.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& contents);

}  // namespace tarvex::testing
