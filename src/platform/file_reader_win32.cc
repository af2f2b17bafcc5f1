#include "platform/file_reader.h"

#include <windows.h>

#include <algorithm>

#include "platform/file_handle_win32.h"
#include "platform/file_reader_native.h"
#include "platform/wide_text_win32.h"

namespace tarvex {
namespace {

HANDLE AsHandle(std::intptr_t file) { return reinterpret_cast<HANDLE>(file); }

}  // namespace

FileReader::FileReader(const std::string& path) {
  if (!IsUsablePath(path)) {
    error_ = ERROR_FILE_NOT_FOUND;
    missing_ = true;
    return;
  }
  const std::wstring wide = ToWide(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    error_ = static_cast<int>(::GetLastError());
    missing_ = error_ == ERROR_FILE_NOT_FOUND || error_ == ERROR_PATH_NOT_FOUND;
    return;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    // What Windows itself answers to opening a folder as a file.
    error_ = ERROR_ACCESS_DENIED;
    return;
  }
  // Other programs may go on reading, writing, renaming and replacing it.
  UniqueHandle file(::CreateFileW(wide.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.IsValid()) {
    error_ = static_cast<int>(::GetLastError());
    // A link whose target is gone.
    missing_ = error_ == ERROR_FILE_NOT_FOUND && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    return;
  }
  LARGE_INTEGER size{};
  if (::GetFileType(file.Get()) != FILE_TYPE_DISK || !::GetFileSizeEx(file.Get(), &size)) {
    // A device or a pipe, never read.
    error_ = ERROR_INVALID_FUNCTION;
    not_regular_ = true;
    return;
  }
  size_ = static_cast<std::uint64_t>(size.QuadPart);
  file_ = reinterpret_cast<std::intptr_t>(file.Release());
}

long ReadFromFile(std::intptr_t file, char* out, std::size_t n, int* error) {
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
  DWORD read = 0;
  if (!::ReadFile(AsHandle(file), out, want, &read, nullptr)) {
    *error = static_cast<int>(::GetLastError());
    return -1;
  }
  return static_cast<long>(read);
}

void CloseReadFile(std::intptr_t file) { ::CloseHandle(AsHandle(file)); }

int NotFoundError() { return ERROR_FILE_NOT_FOUND; }

int DanglingLinkError() { return ERROR_CANT_RESOLVE_FILENAME; }

}  // namespace tarvex
