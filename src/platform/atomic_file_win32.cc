#include <windows.h>
#include <aclapi.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/atomic_file_native.h"
#include "platform/file_handle_win32.h"
#include "platform/path.h"
#include "platform/wide_text_win32.h"

namespace tarvex {
namespace {

constexpr std::size_t kMaxNameLength = 255;  // UTF-16 units of one name on NTFS
constexpr int kNameAttempts = 100;
constexpr int kRenameAttempts = 10;
constexpr DWORD kRenamePauseMs = 50;

HANDLE AsHandle(SaveFile file) { return reinterpret_cast<HANDLE>(file); }

// 0 when a file may be written at path, otherwise the error that says why
// not.
int CheckTarget(const std::string& path) {
  const std::string name = Basename(path);
  if (name.empty() || path.find('\0') != std::string::npos) return ERROR_INVALID_NAME;
  if (ToWide(name).size() > kMaxNameLength) return ERROR_FILENAME_EXCED_RANGE;
  const DWORD attributes = ::GetFileAttributesW(ToWide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
  // A folder, or a file marked read-only, cannot be replaced.
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
  return 0;
}

// Whether an access list has an entry of its own, not one its folder passed
// down; a null list (everyone may do anything) counts as its own.
bool HasOwnEntries(ACL* list) {
  if (list == nullptr) return true;
  for (DWORD i = 0; i < list->AceCount; ++i) {
    void* entry = nullptr;
    if (::GetAce(list, i, &entry) && (static_cast<ACE_HEADER*>(entry)->AceFlags & INHERITED_ACE) == 0) return true;
  }
  return false;
}

// What of the file it replaces a new file keeps, as it keeps the mode on
// Linux: the hidden, system and not-indexed marks, and the access list where
// it is the file's own (protected from the folder's, or with entries of its
// own), so that a private file stays private. Best effort: what cannot be
// taken over leaves the new file as its folder makes it.
void TakeOverProtection(const std::string& target, const std::string& temporary) {
  const std::wstring from = ToWide(target);
  const DWORD attributes = ::GetFileAttributesW(from.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;  // nothing is replaced
  std::wstring to = ToWide(temporary);
  const DWORD marks = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
  if (marks != 0) ::SetFileAttributesW(to.c_str(), marks);
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR raw = nullptr;
  if (::GetNamedSecurityInfoW(from.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &list,
                              nullptr, &raw) != ERROR_SUCCESS) {
    return;
  }
  const LocalMemory<void> descriptor(raw);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  const bool is_protected = ::GetSecurityDescriptorControl(raw, &control, &revision) && (control & SE_DACL_PROTECTED);
  if (!is_protected && !HasOwnEntries(list)) return;  // all the folder's, as the new file's are
  const SECURITY_INFORMATION inheritance =
      is_protected ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION;
  ::SetNamedSecurityInfoW(to.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | inheritance, nullptr, nullptr, list,
                          nullptr);
}

// The names beginning with "." of the plain files in directory (never a
// folder or a link): where the temporary files of saves and uploads are.
std::vector<std::string> DotNames(const std::string& directory) {
  std::vector<std::string> names;
  DirectoryListing listing(directory.empty() ? "." : directory);
  WIN32_FIND_DATAW entry{};
  while (listing.Next(&entry)) {
    if (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
    std::string name = FromWide(entry.cFileName);
    if (name.size() >= 2 && name[0] == '.') names.push_back(std::move(name));
  }
  return names;
}

}  // namespace

int SaveCalls::Create(std::string* name_template, int suffix_length, SaveFile* file) {
  *file = kNoSaveFile;
  const std::size_t random_at = name_template->size() - static_cast<std::size_t>(suffix_length) - kRandomLength;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    name_template->replace(random_at, kRandomLength, RandomCharacters(kRandomLength));
    // Shared for deleting, so the rename over the target can happen while
    // it is open, and for reading, so readers of the target are not refused
    // between the rename and the close; a cleaner's exclusive open fails
    // while it is open.
    const HANDLE handle = ::CreateFileW(ToWide(*name_template).c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      *file = reinterpret_cast<SaveFile>(handle);
      return 0;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return static_cast<int>(error);
  }
  return ERROR_FILE_EXISTS;
}

int SaveCalls::Write(SaveFile file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(AsHandle(file), bytes.data(), piece, &written, nullptr)) {
      return static_cast<int>(::GetLastError());
    }
    bytes.remove_prefix(written);
  }
  return 0;
}

int SaveCalls::Sync(SaveFile file) {
  return ::FlushFileBuffers(AsHandle(file)) ? 0 : static_cast<int>(::GetLastError());
}

int SaveCalls::Rename(const std::string& from, const std::string& to) {
  const std::wstring source = ToWide(from);
  const std::wstring target = ToWide(to);
  // A target that another program holds open cannot be replaced; a virus
  // scanner or an indexer lets go of it within moments, so the rename is
  // tried a few times before the save fails.
  for (int attempt = 0;; ++attempt) {
    if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    const DWORD error = ::GetLastError();
    if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == kRenameAttempts) {
      return static_cast<int>(error);
    }
    ::Sleep(kRenamePauseMs);
  }
}

int SaveCalls::CreateUnnamed(const std::string& /*directory*/, SaveFile* file) {
  *file = kNoSaveFile;
  return ERROR_NOT_SUPPORTED;
}

int SaveCalls::Link(SaveFile /*file*/, const std::string& /*to*/) { return ERROR_NOT_SUPPORTED; }

void CloseSaveFile(SaveFile file) { ::CloseHandle(AsHandle(file)); }

void RemoveSaveFile(const std::string& path) { ::DeleteFileW(ToWide(path).c_str()); }

int ClosedFileError() { return ERROR_INVALID_HANDLE; }

// The rename itself is written through (MOVEFILE_WRITE_THROUGH): nothing is
// left to make durable.
void MakeRenameDurable(const std::string& /*directory*/) {}

AtomicFile::AtomicFile(std::string path, SaveCalls& calls, Kind kind) : path_(std::move(path)), calls_(calls) {
  if (int refused = CheckTarget(path_)) {
    Fail(refused);
    return;
  }
  // No unnamed files on Windows: what crashed uploads left goes first.
  if (kind == Kind::kUpload) RemoveStaleUploadFiles(Dirname(path_));
  if (CreateNamed(kind == Kind::kUpload ? kUploadSuffix : kSaveSuffix)) TakeOverProtection(path_, temporary_);
}

bool AtomicFile::LinkUnnamed() { return Fail(ERROR_NOT_SUPPORTED); }

int RemoveStaleSaveFiles(const std::string& directory, std::initializer_list<std::string_view> legacy_names) {
  int removed = 0;
  for (const std::string& name : DotNames(directory)) {
    if (IsSaveLeftover(name, legacy_names) && ::DeleteFileW(ToWide(JoinPath(directory, name)).c_str())) ++removed;
  }
  return removed;
}

int RemoveStaleUploadFiles(const std::string& directory, int min_age_seconds) {
  int removed = 0;
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  const auto Ticks = [](const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  const std::uint64_t min_age = static_cast<std::uint64_t>(min_age_seconds < 0 ? 0 : min_age_seconds) * 10000000u;
  for (const std::string& name : DotNames(directory)) {
    if (!IsUploadLeftover(name)) continue;
    // An exclusive open fails while the writer still has the file open; the
    // file deleted is the one opened, whatever its name leads to meanwhile.
    const UniqueHandle file(::CreateFileW(ToWide(JoinPath(directory, name)).c_str(),
                                              DELETE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.IsValid()) continue;
    BY_HANDLE_FILE_INFORMATION status{};
    FILE_DISPOSITION_INFO dispose{};
    dispose.DeleteFile = TRUE;
    if (::GetFileInformationByHandle(file.Get(), &status) &&
        (status.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
        Ticks(status.ftLastWriteTime) + min_age <= Ticks(now) &&
        ::SetFileInformationByHandle(file.Get(), FileDispositionInfo, &dispose, sizeof dispose)) {
      ++removed;
    }
  }
  return removed;
}

}  // namespace tarvex
