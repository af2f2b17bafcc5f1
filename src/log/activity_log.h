// ActivityLog: a bounded list of log records, newest first, mirrored to a
// text file with one comma-separated line per record (CR LF line ends).
//
// Any thread may add records and read them. One timed lock (2000 ms) guards
// the list in AddRecord, GetCount, GetRecord and Save; it is held only to
// link or copy record pointers, never across file I/O, a callback or a
// sizeable allocation, so the wait does not expire in practice. When it
// cannot be taken in time the call gives up (the count is -1, the record is
// null, nothing is written); an event given up that way is counted, and the
// next event that gets the lock is preceded by the record "N log events were
// dropped" (DroppedEventsRecord). Open, Load, DefineColumns and
// SetChangeCallback take no lock: they belong before the log is shared.
//
// After each added record the change callback, if set, runs on the adding
// thread outside the lock, so it may read the log. A record that falls off the
// end of the list stays valid for whoever still holds it. Control characters
// in a record's fields (bytes below 0x20, and 0x7F) become "?" as it is added,
// so no file and no terminal ever receives them; so does a comma in any field
// but the last, which would shift the fields of the line when it is read back.
// Load never blocks and never throws: a FIFO or directory is refused.
//
// Saving is coalesced: every added record marks the log dirty, and a writer
// thread of the log's own saves it at most once every kSaveInterval, so a
// burst of events costs a handful of writes. Save writes at once (the owner
// calls it at every orderly stop); every save replaces the file atomically, so
// a reader of the file always sees a complete one.
//
// Subclasses choose the kind of record (CreateRecord) and the columns with
// which a window shows the log (DefineColumns); column i shows field i.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "common/device_text.h"
#include "log/log_record.h"
#include "platform/atomic_file.h"

namespace tarvex {

// "N log events were dropped", the description of a DroppedEventsRecord.
std::string DroppedEventsText(std::uint64_t count);

class ActivityLog {
 public:
  // Told of every added record, with the context and extra value given to
  // SetChangeCallback.
  using ChangeCallback = std::function<void(const std::shared_ptr<const LogRecord>& added,
                                            void* context, void* extra)>;
  using RecordCallback = std::function<void(const std::shared_ptr<const LogRecord>& added)>;

  static constexpr std::chrono::milliseconds kLockTimeout{2000};
  static constexpr std::chrono::milliseconds kSaveInterval{200};
  // The maximum that a log constructed with a maximum below 1 keeps.
  static constexpr std::int16_t kDefaultMaxRecords = 1000;

  // Nothing is read until Open. A maximum below 1 becomes kDefaultMaxRecords.
  ActivityLog(std::string file_name, std::int16_t max_records,
              SaveCalls& calls = SaveCalls::Default());
  // Stops the writer; records not saved yet are saved.
  virtual ~ActivityLog();
  ActivityLog(const ActivityLog&) = delete;
  ActivityLog& operator=(const ActivityLog&) = delete;

  // A new, empty record of this log's kind; null when memory is exhausted.
  virtual std::unique_ptr<LogRecord> CreateRecord() const = 0;
  // The record telling that `count` events were given up at the lock
  // ("N log events were dropped"); null when memory is exhausted.
  virtual std::unique_ptr<LogRecord> DroppedEventsRecord(std::uint64_t count) const = 0;

  // DefineColumns, then Load; Load's result. Called once.
  bool Open(std::string_view legacy_charset = kDefaultDeviceCharset);
  // Appends the lines of the file to the list in file order (the file holds
  // the newest record first), at most the maximum number of lines, skipping
  // lines that do not parse. Creates the file empty when missing. False when
  // the file cannot be opened for reading and writing. The file is written
  // in UTF-8; a line that is not UTF-8 (a log carried over from a desktop
  // that wrote its code page) is read in `legacy_charset`.
  bool Load(std::string_view legacy_charset = kDefaultDeviceCharset);
  // Replaces the file with the records, newest first, at once. False when
  // the lock timed out or the file could not be written (it is then as it
  // was).
  bool Save();

  // Adds a copy of source's fields (as many as this log's records have) as
  // the newest record, dropping the oldest one beyond the maximum, and marks
  // the log for saving. False when the lock timed out or no record could be
  // made.
  bool AddRecord(const LogRecord& source);

  // The number of records, or -1 when the lock timed out.
  std::int16_t GetCount();
  // The record at index (0 = newest); null when out of range or the lock
  // timed out.
  std::shared_ptr<const LogRecord> GetRecord(int index);

  // Replaces the callback and its two values.
  void SetChangeCallback(ChangeCallback callback, void* context, void* extra);
  // The same for a callback that carries its own context (context and extra
  // are then null).
  void SetChangeCallback(RecordCallback callback);

  // The caller keeps index below ColumnCount().
  std::uint16_t ColumnCount() const { return static_cast<std::uint16_t>(column_widths_.size()); }
  const std::string& ColumnTitle(int index) const {
    return column_titles_[static_cast<std::size_t>(index)];
  }
  std::uint16_t ColumnWidth(int index) const {
    return column_widths_[static_cast<std::size_t>(index)];
  }

  const std::string& FileName() const { return file_name_; }
  std::int16_t MaxRecords() const { return max_records_; }

 protected:
  // The lock of the record list, for a derived log that must look at the
  // list in step with it; held only briefly, never across I/O.
  std::timed_mutex& RecordsLock() { return lock_; }

  // Appends this log's columns with AddColumn.
  virtual void DefineColumns() = 0;
  void AddColumn(std::string title, std::uint16_t width);

  // make_unique that reports exhausted memory as null.
  template <typename Record>
  static std::unique_ptr<LogRecord> NewRecord() noexcept {
    try {
      return std::make_unique<Record>();
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }

 private:
  // A record of this log's kind holding source's fields, cleaned as AddRecord
  // says; null when memory is exhausted.
  std::shared_ptr<const LogRecord> CleanCopy(const LogRecord& source) const;
  // Marks the log dirty and makes sure the writer runs.
  void RequestSave();
  void WriterThread();

  const std::string file_name_;
  SaveCalls& calls_;
  const std::int16_t max_records_;
  std::vector<std::string> column_titles_;
  std::vector<std::uint16_t> column_widths_;
  std::deque<std::shared_ptr<const LogRecord>> records_;  // front is the newest
  std::timed_mutex lock_;
  std::atomic<std::uint64_t> dropped_{0};  // events given up since the last notice
  ChangeCallback callback_;
  void* callback_context_ = nullptr;
  void* callback_extra_ = nullptr;

  std::mutex save_mutex_;  // one save at a time, so the newest snapshot lands last
  std::mutex writer_mutex_;
  std::condition_variable writer_wake_;
  bool dirty_ = false;
  bool stopping_ = false;
  std::thread writer_;  // started at the first added record
};

}  // namespace tarvex
