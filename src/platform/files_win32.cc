#include "platform/files.h"

#include <windows.h>

#include "platform/file_handle_win32.h"
#include "platform/path.h"
#include "platform/wide_text_win32.h"

namespace tarvex {
namespace {

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// How many characters of a full path its root takes: "C:\" 3, "\\server\share\"
// up to and with the separator after the share.
std::size_t RootLength(std::wstring_view path) {
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return 3;
  if (path.rfind(L"\\\\", 0) == 0) {
    std::size_t end = path.find(L'\\', 2);
    if (end != std::wstring_view::npos) end = path.find(L'\\', end + 1);
    return end == std::wstring_view::npos ? path.size() : end + 1;
  }
  return path.empty() || path[0] != L'\\' ? 0 : 1;
}

// The path with every link of its existing part resolved: the longest
// existing prefix through GetFinalPathNameByHandleW, then the rest as it is.
std::wstring ResolveExisting(const std::wstring& full) {
  const std::size_t root = RootLength(full);
  std::size_t end = full.size();
  while (end > root) {
    const std::wstring prefix = full.substr(0, end);
    const UniqueHandle opened(::CreateFileW(prefix.c_str(), FILE_READ_ATTRIBUTES,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (opened.IsValid()) {
      std::wstring final_path(MAX_PATH, L'\0');
      DWORD length = ::GetFinalPathNameByHandleW(opened.Get(), final_path.data(),
                                                 static_cast<DWORD>(final_path.size()), FILE_NAME_NORMALIZED);
      if (length >= final_path.size()) {
        final_path.resize(length + 1);
        length = ::GetFinalPathNameByHandleW(opened.Get(), final_path.data(), static_cast<DWORD>(final_path.size()),
                                             FILE_NAME_NORMALIZED);
      }
      if (length == 0 || length >= final_path.size()) return {};
      final_path.resize(length);
      // "\\?\C:\x" is "C:\x"; "\\?\UNC\server\share" is "\\server\share".
      if (final_path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        final_path = L"\\" + final_path.substr(7);
      } else if (final_path.rfind(L"\\\\?\\", 0) == 0) {
        final_path = final_path.substr(4);
      }
      return final_path + full.substr(end);
    }
    const std::size_t separator = full.rfind(L'\\', end - 1);
    if (separator == std::wstring::npos || separator < root) break;
    end = separator;
  }
  return full;
}

}  // namespace

bool MakeDirectories(const std::string& path, unsigned /*mode: folders inherit their parent's permissions*/) {
  if (!IsUsablePath(path)) return false;
  std::wstring wide = ToWide(path);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  const std::size_t root = RootLength(wide);
  for (std::size_t separator = wide.find(L'\\', root);; separator = wide.find(L'\\', separator + 1)) {
    const std::wstring prefix = wide.substr(0, separator);
    if (prefix.size() > root && !::CreateDirectoryW(prefix.c_str(), nullptr) &&
        ::GetLastError() != ERROR_ALREADY_EXISTS && !IsFolder(prefix)) {
      return false;
    }
    if (separator == std::wstring::npos) break;
  }
  return IsFolder(wide);
}

bool CreateIfMissing(const std::string& path) {
  if (!IsUsablePath(path)) return false;
  const std::wstring wide = ToWide(path);
  const UniqueHandle made(::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (made.IsValid()) return true;
  const DWORD error = ::GetLastError();
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  return (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) && attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string NormalisePath(std::string_view path) {
  if (path.empty() || path.find('\0') != std::string_view::npos) return {};
  // GetFullPathNameW takes the current directory and drive, turns "/" into
  // "\" and resolves "." and ".." and doubled separators, all lexically.
  const std::wstring wide = ToWide(path);
  std::wstring full(MAX_PATH, L'\0');
  DWORD length = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length >= full.size()) {
    full.resize(length + 1);
    length = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  if (length == 0 || length >= full.size()) return {};
  full.resize(length);
  const bool names_directory = EndsInSeparator(path) || Basename(path) == "." || Basename(path) == "..";
  std::string resolved = FromWide(ResolveExisting(full));
  if (resolved.empty()) return {};
  if (names_directory) resolved = WithTrailingSeparator(std::move(resolved));
  return resolved;
}

}  // namespace tarvex
