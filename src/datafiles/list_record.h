// ListRecord: one record of a record list file, kept as one text line of
// quoted fields separated by commas ("7","Ann").
//
// FormatLine gives the line with its line feed; it refuses (false) when there
// is no buffer, and when the line could not be read back as written: longer
// than kMaxLineLength characters before its line feed, or holding a line feed
// inside a text. Quotes inside texts are written as they are. ParseLine reads
// a line as loaded (line feed included when present); missing or unquoted
// fields read as empty texts and 0.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarvex {

inline constexpr std::size_t kMaxLineLength = 1023;

class ListRecord {
 public:
  ListRecord() = default;
  virtual ~ListRecord();
  ListRecord(const ListRecord&) = delete;
  ListRecord& operator=(const ListRecord&) = delete;

  virtual bool FormatLine(std::string* line) const = 0;
  virtual bool ParseLine(std::string_view line) = 0;

 protected:
  // Stores text + line feed in *line when it is a line that reads back.
  static bool StoreLine(std::string text, std::string* line);
};

}  // namespace tarvex
