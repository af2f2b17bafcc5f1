#include "log/activity_log.h"

#include <algorithm>
#include <utility>

#include "log/log_line.h"
#include "platform/files.h"
#include "platform/text_line_reader.h"

namespace tarvex {

namespace {

// The files keep the CR LF line ends of a text file written on the desktop
// platform the logs come from, so every LF goes out as CR LF.
void AppendTextLine(std::string& out, const std::string& line) {
  for (char c : line) {
    if (c == '\n') out += '\r';
    out += c;
  }
}

// A field holds no control character: a file name or login name chosen by a
// device must neither split one record into two lines of the file nor reach
// a terminal as an escape sequence. A field but the last holds no comma
// either, or it would shift the fields after it when the file is read back.
std::string CleanField(std::string text, bool last) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f || (c == ',' && !last)) c = '?';
  }
  return text;
}

}  // namespace

std::string DroppedEventsText(std::uint64_t count) {
  return std::to_string(count) + " log events were dropped";
}

ActivityLog::ActivityLog(std::string file_name, std::int16_t max_records, SaveCalls& calls)
    : file_name_(std::move(file_name)),
      calls_(calls),
      max_records_(max_records < 1 ? kDefaultMaxRecords : max_records) {}

ActivityLog::~ActivityLog() {
  bool unsaved = false;
  {
    std::lock_guard<std::mutex> guard(writer_mutex_);
    stopping_ = true;
    unsaved = dirty_;
  }
  writer_wake_.notify_all();
  if (writer_.joinable()) writer_.join();
  if (unsaved) Save();
}

void ActivityLog::RequestSave() {
  {
    std::lock_guard<std::mutex> guard(writer_mutex_);
    dirty_ = true;
    if (!writer_.joinable() && !stopping_) writer_ = std::thread(&ActivityLog::WriterThread, this);
  }
  writer_wake_.notify_all();
}

void ActivityLog::WriterThread() {
  std::unique_lock<std::mutex> guard(writer_mutex_);
  auto last_save = std::chrono::steady_clock::now() - kSaveInterval;
  for (;;) {
    writer_wake_.wait(guard, [this] { return dirty_ || stopping_; });
    // Events that come within the interval ride along with this save.
    if (writer_wake_.wait_until(guard, last_save + kSaveInterval, [this] { return stopping_; })) {
      return;  // the destructor saves what is left
    }
    guard.unlock();
    Save();
    last_save = std::chrono::steady_clock::now();
    guard.lock();
  }
}

bool ActivityLog::Open(std::string_view legacy_charset) {
  DefineColumns();
  return Load(legacy_charset);
}

bool ActivityLog::Load(std::string_view legacy_charset) {
  // Created when missing, never truncated.
  CreateIfMissing(file_name_);
  TextLineReader reader(file_name_, kNoLineLimit);
  if (!reader.IsOpen()) return false;
  StoredLineDecoder decode(legacy_charset);
  std::string line;
  for (int read = 0; read < max_records_ && reader.ReadLine(&line); ++read) {
    if (line.back() == '\n') line.pop_back();
    std::unique_ptr<LogRecord> record = CreateRecord();
    if (record != nullptr && ParseLine(decode(line), record.get())) records_.push_back(std::move(record));
  }
  return reader.Error() == 0;
}

bool ActivityLog::Save() {
  std::lock_guard<std::mutex> one_at_a_time(save_mutex_);
  {
    std::lock_guard<std::mutex> guard(writer_mutex_);
    dirty_ = false;  // records added from here on mark it again
  }
  // Only the records are taken under the log's lock, into room made before
  // it; formatting and writing run outside it, so loggers never wait for
  // them.
  std::vector<std::shared_ptr<const LogRecord>> snapshot;
  snapshot.reserve(static_cast<std::size_t>(max_records_) + 1);
  {
    std::unique_lock<std::timed_mutex> guard(lock_, kLockTimeout);
    if (!guard.owns_lock()) return false;
    const std::size_t count = std::min(records_.size(), static_cast<std::size_t>(max_records_));
    snapshot.assign(records_.begin(), records_.begin() + static_cast<std::ptrdiff_t>(count));
  }
  std::string contents;
  for (const auto& record : snapshot) AppendTextLine(contents, FormatLine(*record));
  snapshot.clear();
  return WriteFileAtomically(file_name_, contents, calls_);
}

std::shared_ptr<const LogRecord> ActivityLog::CleanCopy(const LogRecord& source) const {
  std::unique_ptr<LogRecord> record = CreateRecord();
  if (record == nullptr) return nullptr;
  const int count = record->FieldCount();
  for (int i = 0; i < count; ++i) record->SetField(i, CleanField(source.GetField(i), i == count - 1));
  return std::shared_ptr<const LogRecord>(std::move(record));
}

bool ActivityLog::AddRecord(const LogRecord& source) {
  // Everything of size is made before the lock is taken: the record, and the
  // notice of events given up earlier, if any.
  std::shared_ptr<const LogRecord> added = CleanCopy(source);
  if (added == nullptr) return false;
  std::uint64_t dropped = dropped_.load();
  std::shared_ptr<const LogRecord> notice;
  if (dropped > 0) {
    std::unique_ptr<LogRecord> made = DroppedEventsRecord(dropped);
    if (made != nullptr) notice = CleanCopy(*made);
  }
  std::shared_ptr<const LogRecord> evicted[2];
  bool noticed = false;
  {
    std::unique_lock<std::timed_mutex> guard(lock_, kLockTimeout);
    if (!guard.owns_lock()) {
      dropped_.fetch_add(1);
      return false;
    }
    // The notice goes in only when no event was given up since its count
    // was read; otherwise a later event tells the new count.
    noticed = notice != nullptr && dropped_.compare_exchange_strong(dropped, 0);
    if (noticed) records_.push_front(notice);
    records_.push_front(added);
    for (auto& out : evicted) {
      if (records_.size() <= static_cast<std::size_t>(max_records_)) break;
      out = std::move(records_.back());  // freed outside the lock
      records_.pop_back();
    }
  }
  RequestSave();
  if (callback_) {
    if (noticed) callback_(notice, callback_context_, callback_extra_);
    callback_(added, callback_context_, callback_extra_);
  }
  return true;
}

std::int16_t ActivityLog::GetCount() {
  std::unique_lock<std::timed_mutex> guard(lock_, kLockTimeout);
  if (!guard.owns_lock()) return -1;
  return static_cast<std::int16_t>(records_.size());
}

std::shared_ptr<const LogRecord> ActivityLog::GetRecord(int index) {
  std::unique_lock<std::timed_mutex> guard(lock_, kLockTimeout);
  if (!guard.owns_lock()) return nullptr;
  if (index < 0 || static_cast<std::size_t>(index) >= records_.size()) return nullptr;
  return records_[static_cast<std::size_t>(index)];
}

void ActivityLog::SetChangeCallback(ChangeCallback callback, void* context, void* extra) {
  callback_ = std::move(callback);
  callback_context_ = context;
  callback_extra_ = extra;
}

void ActivityLog::SetChangeCallback(RecordCallback callback) {
  ChangeCallback wrapped;
  if (callback) {
    wrapped = [callback = std::move(callback)](const std::shared_ptr<const LogRecord>& added,
                                               void*, void*) { callback(added); };
  }
  SetChangeCallback(std::move(wrapped), nullptr, nullptr);
}

void ActivityLog::AddColumn(std::string title, std::uint16_t width) {
  column_titles_.push_back(std::move(title));
  column_widths_.push_back(width);
}

}  // namespace tarvex
