// FileReader: a regular file opened for reading only, shared with other
// programs, which may go on reading and writing it.
//
// Opening never blocks: anything but a regular file (a directory, a FIFO, a
// device node, a socket) is refused before it is opened, and the open itself
// does not wait, so a file swapped for a FIFO between the look and the open is
// refused as well. Used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvex {

class FileReader {
 public:
  explicit FileReader(const std::string& path);
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  bool IsOpen() const { return file_ != -1; }
  // The system's error number of the failure (errno on Linux, EISDIR for a
  // directory; GetLastError() on Windows, ERROR_ACCESS_DENIED for a folder),
  // 0 while none.
  int Error() const { return error_; }
  // True when the open was refused because the entry is not a regular file
  // and not a directory.
  bool NotRegular() const { return not_regular_; }
  // True when nothing at all is at the path (ENOENT or ERROR_FILE_NOT_FOUND,
  // and not even a dangling symbolic link); a caller may then take the file
  // as empty.
  bool Missing() const { return missing_; }
  // The size when it was opened.
  std::uint64_t Size() const { return size_; }

  // Reads until n bytes came or the file ended; the bytes read (0 at the
  // end), or -1 on a failure (Error() says which).
  long Read(char* out, std::size_t n);

 private:
  std::intptr_t file_ = -1;  // a descriptor on Linux, a HANDLE's value on Windows
  int error_ = 0;
  bool not_regular_ = false;
  bool missing_ = false;
  std::uint64_t size_ = 0;
};

// Reads the whole regular file at path into *contents: 0, or the system's
// error number of the failure (on Linux ENOENT for a missing file, ENOLINK for
// a dangling symbolic link, EISDIR for a directory, EINVAL for anything else
// that is not a regular file; on Windows ERROR_FILE_NOT_FOUND,
// ERROR_CANT_RESOLVE_FILENAME, ERROR_ACCESS_DENIED and ERROR_INVALID_FUNCTION),
// *contents then empty. Never blocks on a FIFO and never throws but for
// exhausted memory.
int ReadWholeFile(const std::string& path, std::string* contents);

}  // namespace tarvex
