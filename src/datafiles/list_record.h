// ListRecord: one record of a record list file, kept as one text line of
// quoted fields separated by commas ("7","Ann"; see quoted_fields.h).
//
// FormatLine gives the line with its line feed; it refuses (false) when there
// is no buffer, and when the line could not be read back as written: longer
// than kMaxLineLength characters (not bytes: a UTF-8 text counts its
// characters) before its line feed, or holding a text that
// a field cannot carry unchanged. ParseLine reads a line as loaded (its line
// feed, and a CR before it, may be there) and is true only for a well-formed
// line of the record's kind: the right number of fields in the strict form,
// a decimal id, texts that FormatLine could write back unchanged, at most
// kMaxLineLength characters. A line that is not
// well-formed is kept by the list as an UnreadableLine instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
  // The id and the texts as one line with its line feed, when it reads back.
  static bool StoreFields(std::uint32_t id, const std::vector<std::string_view>& texts,
                          std::string* line);
  // The id and the `count` texts of a well-formed line.
  static bool ReadFields(std::string_view line, std::size_t count, std::uint32_t* id,
                         std::vector<std::string>* texts);
};

// A line of a record file that is not a well-formed record: kept as it was
// read and written back unchanged, so that no rewrite ever loses it. It never
// shows in a walk.
class UnreadableLine : public ListRecord {
 public:
  bool FormatLine(std::string* line) const override;
  bool ParseLine(std::string_view line) override;

  // The number that the line's first field starts with (0 when none), so
  // that a new id can be kept above it.
  std::uint32_t LeadingId() const;

 private:
  std::string text_;  // without its line end
};

// The line without its LF or CR LF end.
std::string_view WithoutLineEnd(std::string_view line);

}  // namespace tarvex
