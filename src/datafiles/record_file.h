// RecordFile: a list of records kept in a text file, one record per line,
// loaded whole, walked through a filter (Matches) and saved whole.
//
// Nothing a file holds is ever lost: Load appends every line of the file,
// whatever its length, and a line that is not a well-formed record of the
// list's kind (over-long, broken quoting, too few fields) is kept as an
// UnreadableLine that no walk shows and that Save writes back unchanged. Save
// writes every record, whatever the filter, with CR LF line ends, and
// replaces the file atomically (the old file stays whole on failure). Add
// refuses a record once the list holds kMaxRecords lines, and a record whose
// line could not be read back; a file that already holds more lines is
// loaded and saved whole, never cut.
//
// The file is written in UTF-8 (the texts the program gives it); a line that
// is not UTF-8, from a file carried over from the original platform, is read
// in the legacy character set (the handhelds' code page) and so is written
// back in UTF-8. The layout of the lines is the same either way.
//
// A list object is used by one thread. Threads that change a shared file hold
// its RecordFileLock from their Load to their Save.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/device_text.h"
#include "datafiles/list_record.h"

namespace tarvex {

// The counts of the protocol are signed 16-bit numbers.
inline constexpr std::size_t kMaxRecords = 32767;

class RecordFile {
 public:
  // The file is file_name in directory (DataFilePath: a separator is added
  // when directory lacks one). A line that is not UTF-8 is read in
  // legacy_charset.
  RecordFile(std::string_view directory, std::string_view file_name,
             std::string_view legacy_charset = kDefaultDeviceCharset);
  virtual ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // True when the file was read whole, or is missing (an empty list). False
  // when it exists but cannot be read (a directory, a FIFO, a dangling link,
  // no permission, an I/O error): the list then stays as it was, LoadError() says why, and the
  // caller must not save over a file it could not read. Never blocks.
  bool Load();
  // The errno value of the last Load's failure, ENOENT for a missing file,
  // 0 after a whole read.
  int LoadError() const { return load_error_; }
  // False when the file cannot be written; the old file then stays whole.
  bool Save() const;
  // Appends the record; refused (false, the record dropped) when the list is
  // full or the record's line could not be written.
  bool Add(std::unique_ptr<ListRecord> record);
  bool IsFull() const { return records_.size() >= kMaxRecords; }

  // The walk: the first matching record, then each next one; nullptr at the
  // end. FindNext goes on from the record FindFirst or FindNext gave last.
  ListRecord* FindFirst();
  ListRecord* FindNext();
  // Matching records, at most kMaxRecords.
  std::int16_t CountMatching() const;

  const std::string& Path() const { return path_; }

 protected:
  virtual std::unique_ptr<ListRecord> CreateRecord() const = 0;
  virtual bool Matches(const ListRecord& record) const = 0;

  // Every line, unreadable ones included.
  const std::vector<std::unique_ptr<ListRecord>>& Records() const { return records_; }

 private:
  ListRecord* FindFromCursor();

  std::string path_;
  std::string legacy_charset_;
  std::vector<std::unique_ptr<ListRecord>> records_;
  std::size_t cursor_ = 0;
  int load_error_ = 0;
};

}  // namespace tarvex
