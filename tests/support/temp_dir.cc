#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "platform/file_reader.h"
#include "platform/path.h"

namespace tarvex::testing {

TempDir::TempDir() {
  // $TMPDIR or /tmp on Linux, the user's temporary folder on Windows.
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate = base / ("tarvex-test-" + std::to_string(random() % 1000000000));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) {
      std::filesystem::permissions(candidate, std::filesystem::perms::owner_all, error);
      const std::u8string path = candidate.u8string();
      path_.assign(path.begin(), path.end());
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary directory");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(Utf8Path(path_), ignored);
}

std::string TempDir::File(const std::string& name) const { return JoinPath(path_, name); }

std::filesystem::path Utf8Path(const std::string& path) { return std::u8string(path.begin(), path.end()); }

std::string ReadFile(const std::string& path) {
  std::string contents;
  ReadWholeFile(path, &contents);
  return contents;
}

void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream out(Utf8Path(path), std::ios::binary | std::ios::trunc);
  out << contents;
}

}  // namespace tarvex::testing
