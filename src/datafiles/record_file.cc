#include "datafiles/record_file.h"

#include <algorithm>

#include "platform/atomic_file.h"
#include "platform/path.h"
#include "platform/text_line_reader.h"

namespace tarvex {

RecordFile::RecordFile(std::string_view directory, std::string_view file_name,
                       std::string_view legacy_charset)
    : path_(DataFilePath(directory, file_name).value_or(std::string())), legacy_charset_(legacy_charset) {}

RecordFile::~RecordFile() = default;

bool RecordFile::Load() {
  TextLineReader reader(path_, kNoLineLimit);
  load_error_ = reader.Error();
  // Only a file that is not there is an empty list.
  if (!reader.IsOpen()) return reader.Missing();
  std::vector<std::unique_ptr<ListRecord>> loaded;
  std::string line;
  StoredLineDecoder decode(legacy_charset_);
  while (reader.ReadLine(&line)) {
    line = decode(line);
    std::unique_ptr<ListRecord> record = CreateRecord();
    if (!record->ParseLine(line)) {
      record = std::make_unique<UnreadableLine>();
      record->ParseLine(line);
    }
    loaded.push_back(std::move(record));
  }
  load_error_ = reader.Error();
  if (load_error_ != 0) return false;
  for (auto& record : loaded) records_.push_back(std::move(record));
  return true;
}

bool RecordFile::Save() const {
  std::string contents;
  std::string line;
  for (const auto& record : records_) {
    // Add let in only records that format, and unreadable lines always do.
    if (!record->FormatLine(&line)) continue;
    line.pop_back();
    contents += line;
    contents += "\r\n";
  }
  return WriteFileAtomically(path_, contents);
}

bool RecordFile::Add(std::unique_ptr<ListRecord> record) {
  std::string line;
  if (IsFull() || !record || !record->FormatLine(&line)) return false;
  records_.push_back(std::move(record));
  return true;
}

ListRecord* RecordFile::FindFirst() {
  cursor_ = 0;
  return FindFromCursor();
}

ListRecord* RecordFile::FindNext() {
  if (cursor_ < records_.size()) ++cursor_;
  return FindFromCursor();
}

ListRecord* RecordFile::FindFromCursor() {
  while (cursor_ < records_.size() && !Matches(*records_[cursor_])) ++cursor_;
  return cursor_ < records_.size() ? records_[cursor_].get() : nullptr;
}

std::int16_t RecordFile::CountMatching() const {
  std::size_t count = 0;
  for (const auto& record : records_) {
    if (Matches(*record)) ++count;
  }
  return static_cast<std::int16_t>(std::min(count, kMaxRecords));
}

}  // namespace tarvex
