// Private scratch files: data that lives within one operation (a search's
// result file) and never needs to outlive a crash.
//
// TemporaryFile makes an empty file, mode 0600, with mkstemp under $TMPDIR
// (default /tmp), and removes it when the object is destroyed; two objects
// never share a file. ReplaceScratchFile gives a file new contents all or
// nothing, but without the syncing of AtomicFile: use it for scratch files
// only, never for the user's data or the system's stored files.
// Both are safe for concurrent use on different files.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

class TemporaryFile {
 public:
  // A new empty file whose name begins with `name_prefix` (no "/"); none
  // when it cannot be made.
  static std::optional<TemporaryFile> Create(std::string_view name_prefix);

  ~TemporaryFile();
  TemporaryFile(TemporaryFile&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
  TemporaryFile& operator=(TemporaryFile&&) = delete;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& Path() const { return path_; }

 private:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  std::string path_;
};

// Replaces the file at `path` (creating it when missing) with `contents`: a
// new private file beside it, written whole and renamed over it. False, with
// the file as it was, when any step fails.
bool ReplaceScratchFile(const std::string& path, std::string_view contents);

}  // namespace tarvex
