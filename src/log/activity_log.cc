#include "log/activity_log.h"

#include <algorithm>
#include <fstream>
#include <utility>

#include "log/log_line.h"

namespace tarvex {

namespace {

// The files keep the CR LF line ends of a text file written on the desktop
// platform the logs come from, so every LF goes out as CR LF.
void WriteTextLine(std::ofstream& file, const std::string& line) {
  std::string out;
  out.reserve(line.size() + 2);
  for (char c : line) {
    if (c == '\n') out += '\r';
    out += c;
  }
  file.write(out.data(), static_cast<std::streamsize>(out.size()));
}

// A field holds no line break: a file name or login name chosen by a device
// must not split one record into two lines of the file.
std::string WithoutLineBreaks(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

}  // namespace

ActivityLog::ActivityLog(std::string file_name, std::int16_t max_records)
    : file_name_(std::move(file_name)),
      max_records_(max_records < 1 ? kDefaultMaxRecords : max_records) {}

bool ActivityLog::Open() {
  DefineColumns();
  return Load();
}

bool ActivityLog::Load() {
  // Read and write, created when missing, never truncated.
  std::fstream file(file_name_, std::ios::in | std::ios::app | std::ios::binary);
  if (!file.is_open()) return false;
  std::string line;
  for (int read = 0; read < max_records_; ++read) {
    if (!std::getline(file, line)) break;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::unique_ptr<LogRecord> record = CreateRecord();
    if (record != nullptr && ParseLine(line, record.get())) records_.push_back(std::move(record));
  }
  return true;
}

void ActivityLog::Save() {
  std::unique_lock<std::timed_mutex> guard(lock_, kLockTimeout);
  if (!guard.owns_lock()) return;
  std::ofstream file(file_name_, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!file.is_open()) return;
  const std::size_t count =
      std::min(records_.size(), static_cast<std::size_t>(max_records_));
  for (std::size_t i = 0; i < count; ++i) WriteTextLine(file, FormatLine(*records_[i]));
}

bool ActivityLog::AddRecord(const LogRecord& source) {
  std::shared_ptr<const LogRecord> added;
  {
    std::unique_lock<std::timed_mutex> guard(lock_, kLockTimeout);
    if (!guard.owns_lock()) return false;
    std::unique_ptr<LogRecord> record = CreateRecord();
    if (record == nullptr) return false;
    for (int i = 0; i < record->FieldCount(); ++i) {
      record->SetField(i, WithoutLineBreaks(source.GetField(i)));
    }
    added = std::move(record);
    records_.push_front(added);
    if (records_.size() > static_cast<std::size_t>(max_records_)) records_.pop_back();
  }
  if (callback_) callback_(added, callback_context_, callback_extra_);
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
