// TempDir: a fresh private directory in the system's temporary folder ($TMPDIR
// or /tmp on Linux), removed with the object. Paths are UTF-8 texts, in the
// platform's own form (with "\" on Windows).
#pragma once

#include <filesystem>
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
  // Path(), the platform's separator, then name.
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

// The std::filesystem path of a UTF-8 path: a plain narrow text would be
// read in the ANSI code page on Windows.
std::filesystem::path Utf8Path(const std::string& path);

// Reads a whole regular file ("" when it cannot); writes one, replacing it.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& contents);

}  // namespace tarvex::testing
