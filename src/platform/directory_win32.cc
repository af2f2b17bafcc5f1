#include "platform/directory.h"

#include "platform/file_handle_win32.h"
#include "platform/path.h"
#include "platform/wide_text_win32.h"

namespace tarvex {

DirectoryListing::DirectoryListing(const std::string& path) {
  if (!IsUsablePath(path)) return;
  const std::wstring pattern = ToWide(JoinPath(path, "*"));
  find_ = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &first_, FindExSearchNameMatch, nullptr,
                             FIND_FIRST_EX_LARGE_FETCH);
  first_pending_ = find_ != INVALID_HANDLE_VALUE;
  empty_ = find_ == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

DirectoryListing::~DirectoryListing() {
  if (find_ != INVALID_HANDLE_VALUE) ::FindClose(find_);
}

bool DirectoryListing::Next(WIN32_FIND_DATAW* entry) {
  if (find_ == INVALID_HANDLE_VALUE) return false;
  if (first_pending_) {
    first_pending_ = false;
    *entry = first_;
    return true;
  }
  return ::FindNextFileW(find_, entry) != 0;
}

UniqueHandle OpenForAttributes(const std::string& path) {
  if (!IsUsablePath(path)) return UniqueHandle();
  // FILE_FLAG_BACKUP_SEMANTICS lets a folder be opened too.
  return UniqueHandle(::CreateFileW(ToWide(path).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool IsUsablePath(const std::string& path) { return !path.empty() && path.find('\0') == std::string::npos; }

bool ReadDirectory(const std::string& path, std::vector<DirectoryItem>* items) {
  DirectoryListing listing(path);
  if (!listing.IsOpen()) return false;
  WIN32_FIND_DATAW entry{};
  while (listing.Next(&entry)) {
    const std::string name = FromWide(entry.cFileName);
    if (name == "." || name == "..") continue;
    // A link to a folder carries the folder attribute as well.
    items->push_back({name, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  }
  return true;
}

}  // namespace tarvex
