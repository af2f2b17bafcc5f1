// TextLineReader: reads the system's text data files one line at a time.
//
// A carriage return directly before a line feed is dropped, so files written
// with CR LF line ends and files written with LF alone read the same. A line
// ends after its line feed, or at the end of the file when it holds at least
// one byte. A line holds at most the reader's limit of bytes (kLineBufferSize
// unless given), its line feed included; a longer one is not a line and ends
// the reading. A limit of kNoLineLimit reads lines of any length.
#pragma once

#include <cstddef>
#include <fstream>
#include <string>

namespace tarvex {

inline constexpr std::size_t kLineBufferSize = 1024;
inline constexpr std::size_t kNoLineLimit = 0;

class TextLineReader {
 public:
  explicit TextLineReader(const std::string& path, std::size_t limit = kLineBufferSize);

  bool IsOpen() const { return in_.is_open(); }

  // The next line, with its line feed when it has one. False at the end of
  // the file or at a line that is too long; every later call is false too.
  bool ReadLine(std::string* line);
  // True once the reading ended at a line longer than the limit.
  bool HitLimit() const { return hit_limit_; }

 private:
  std::ifstream in_;
  const std::size_t limit_;
  bool stopped_ = false;
  bool hit_limit_ = false;
};

}  // namespace tarvex
