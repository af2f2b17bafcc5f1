// TextLineReader: reads the system's text data files one line at a time.
//
// A carriage return directly before a line feed is dropped, so files written
// with CR LF line ends and files written with LF alone read the same. A line
// ends after its line feed, or at the end of the file when it holds at least
// one byte. A line holds at most kLineBufferSize bytes, its line feed
// included; a longer one is not a line and ends the reading.
#pragma once

#include <cstddef>
#include <fstream>
#include <string>

namespace tarvex {

inline constexpr std::size_t kLineBufferSize = 1024;

class TextLineReader {
 public:
  explicit TextLineReader(const std::string& path);

  bool IsOpen() const { return in_.is_open(); }

  // The next line, with its line feed when it has one. False at the end of
  // the file or at a line that is too long; every later call is false too.
  bool ReadLine(std::string* line);

 private:
  std::ifstream in_;
  bool stopped_ = false;
};

}  // namespace tarvex
