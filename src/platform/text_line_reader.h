// TextLineReader: reads the system's text files one line at a time (the
// record lists, the access list, the settings file and the logs), by one set
// of rules.
//
// A carriage return directly before a line feed is dropped, so files written
// with CR LF line ends and files written with LF alone read the same. A line
// ends after its line feed, or at the end of the file when it holds at least
// one byte. A line holds at most the reader's limit of bytes (kLineBufferSize
// unless given), its line feed included; a longer one is not a line and ends
// the reading. A limit of kNoLineLimit reads lines of any length.
//
// The file is opened through FileReader: the open never blocks and anything
// but a regular file is refused. Nothing here throws; a file that cannot be
// opened or read says so through Error().
#pragma once

#include <cstddef>
#include <string>

#include "platform/file_reader.h"

namespace tarvex {

inline constexpr std::size_t kLineBufferSize = 1024;
inline constexpr std::size_t kNoLineLimit = 0;

class TextLineReader {
 public:
  explicit TextLineReader(const std::string& path, std::size_t limit = kLineBufferSize);

  bool IsOpen() const { return file_.IsOpen(); }
  // The errno value of a failed open or read (EISDIR for a directory, EINVAL
  // for anything else that is not a regular file), 0 while none happened.
  int Error() const { return file_.Error(); }
  // True when nothing is at the path (not even a dangling link).
  bool Missing() const { return file_.Missing(); }

  // The next line, with its line feed when it has one. False at the end of
  // the file, at a line that is too long or at a read error; every later call
  // is false too.
  bool ReadLine(std::string* line);
  // True once the reading ended at a line longer than the limit.
  bool HitLimit() const { return hit_limit_; }

 private:
  // The next byte, or -1 at the end or on a read error.
  int NextByte();
  int PeekByte();

  FileReader file_;
  const std::size_t limit_;
  std::string buffer_;
  std::size_t position_ = 0;
  bool stopped_ = false;
  bool hit_limit_ = false;
};

}  // namespace tarvex
