// What each platform's file_reader_*.cc provides to file_reader_shared.cc,
// which holds the parts of FileReader both platforms share. For the file
// reader's files of this folder only.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvex {

// One read of at most n bytes from an open file (a descriptor on Linux, a
// HANDLE's value on Windows): the bytes read, 0 at the end, or -1 with
// *error set to the system's error number.
long ReadFromFile(std::intptr_t file, char* out, std::size_t n, int* error);

// Closes an open file.
void CloseReadFile(std::intptr_t file);

// The system's error numbers of nothing found at a path, and of a link that
// leads nowhere (ENOENT and ENOLINK on Linux, ERROR_FILE_NOT_FOUND and
// ERROR_CANT_RESOLVE_FILENAME on Windows).
int NotFoundError();
int DanglingLinkError();

}  // namespace tarvex
