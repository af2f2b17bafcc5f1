#include "core/settings/settings_store.h"

#include <utility>

#include "platform/files.h"
#include "platform/text_line_reader.h"

namespace tarvex {

SettingsStore::SettingsStore(std::string path, SaveCalls& calls)
    : path_(std::move(path)), calls_(calls) {}

SettingsStore::~SettingsStore() = default;

int SettingsStore::LoadSettings() {
  CreateIfMissing(path_);
  return ReadSettings();
}

int SettingsStore::ReadSettings() {
  std::lock_guard<std::mutex> lock(mutex_);
  // A missing file is an empty one; a file that cannot be read (a directory,
  // a FIFO, no permission) leaves the entries as they are and is never
  // replaced by a save.
  TextLineReader reader(path_, kNoLineLimit);
  std::vector<Entry> read;
  std::string line;
  while (reader.ReadLine(&line)) {
    if (line.back() == '\n') line.pop_back();
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    read.push_back({line.substr(0, equals), line.substr(equals + 1)});
  }
  if (reader.Error() != 0) {
    if (!reader.Missing()) read_error_ = reader.Error();
    return 0;
  }
  read_error_ = 0;
  entries_.insert(entries_.end(), read.begin(), read.end());
  return 0;
}

int SettingsStore::SaveSettings() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (read_error_ != 0) return read_error_;
  std::string contents;
  for (const Entry& entry : entries_) {
    contents.append(entry.key).append(1, '=').append(entry.value).append("\r\n");
  }
  AtomicFile file(path_, calls_);
  if (file.Write(contents) && file.Commit()) return 0;
  return file.Error();
}

std::string SettingsStore::GetValue(std::string_view key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Entry& entry : entries_) {
    if (entry.key == key) return entry.value;
  }
  return {};
}

void SettingsStore::SetValue(std::string_view key, std::string_view value) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (Entry& entry : entries_) {
    if (entry.key == key) {
      entry.value = value;
      return;
    }
  }
  entries_.push_back({std::string(key), std::string(value)});
}

}  // namespace tarvex
