// The pieces of the atomic save that both platforms share
// (atomic_file_shared.cc), and the few calls each platform's
// atomic_file_*.cc provides for them. For the atomic save's files of this
// folder only.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/atomic_file.h"

namespace tarvex {

// How many random letters and digits make a temporary name unique.
inline constexpr std::size_t kRandomLength = 6;

// `count` random letters and digits.
std::string RandomCharacters(std::size_t count);

// The temporary name of a save of path: ".<name>.<random><suffix>" beside it,
// with at most the first 64 bytes of the target's name.
std::string TemporaryName(const std::string& path, std::string_view random, std::string_view suffix);

// Whether a name in a directory is a save's temporary file: a dot name ending
// in kSaveSuffix, or "." + one of the legacy names + "." + six characters.
bool IsSaveLeftover(std::string_view name, std::initializer_list<std::string_view> legacy_names);
// Whether it is a named upload file: a dot name ending in kUploadSuffix.
bool IsUploadLeftover(std::string_view name);

// Each platform's own calls.

// Closes an open temporary file.
void CloseSaveFile(SaveFile file);
// Removes a temporary file; a failure is ignored.
void RemoveSaveFile(const std::string& path);
// The error number of a write or commit after the file was closed (EBADF on
// Linux, ERROR_INVALID_HANDLE on Windows).
int ClosedFileError();
// Makes a finished rename into directory durable; a failure here is not the
// caller's loss.
void MakeRenameDurable(const std::string& directory);

}  // namespace tarvex
