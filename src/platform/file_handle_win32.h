// Owning wrappers of Windows handles, find handles and memory that a
// Windows call allocated for its caller, and the checks the file facilities
// share. Used by the *_win32.cc files only.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <utility>

namespace tarvex {

// Memory a Windows call allocated and leaves to its caller to LocalFree
// (security descriptors, access lists, FormatMessage texts, argument
// vectors), freed with its owner.
struct LocalFreer {
  void operator()(void* memory) const { ::LocalFree(memory); }
};
template <typename T>
using LocalMemory = std::unique_ptr<T, LocalFreer>;

// Owns a handle of a Windows object (a file, pipe, process, job, token or
// event) and closes it (CloseHandle) when destroyed; INVALID_HANDLE_VALUE
// and null are no handle.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = other.Release();
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE Get() const { return handle_; }
  HANDLE Release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
  void Reset() {
    if (IsValid()) ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// The entries of one directory, read with FindFirstFileExW / FindNextFileW
// (names of "." and ".." included, as Windows gives them).
class DirectoryListing {
 public:
  // Opens the listing of the directory at path; IsOpen() false when it
  // cannot be read.
  explicit DirectoryListing(const std::string& path);
  ~DirectoryListing();
  DirectoryListing(const DirectoryListing&) = delete;
  DirectoryListing& operator=(const DirectoryListing&) = delete;

  bool IsOpen() const { return find_ != INVALID_HANDLE_VALUE || empty_; }
  // The next entry into *entry; false when there is none.
  bool Next(WIN32_FIND_DATAW* entry);

 private:
  HANDLE find_ = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW first_{};
  bool first_pending_ = false;
  bool empty_ = false;  // a drive's root without entries gives no "." either
};

// Opens path for reading its attributes only, following links, sharing it
// with every other reader and writer; a folder opens as well.
UniqueHandle OpenForAttributes(const std::string& path);

// True when the path holds no zero byte and is not empty: a text Windows can
// be given as a path.
bool IsUsablePath(const std::string& path);

}  // namespace tarvex
