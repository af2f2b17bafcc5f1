#include "core/settings/settings_store.h"

#include <cerrno>
#include <utility>

#include "platform/file_reader.h"
#include "platform/files.h"

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
  std::string contents;
  // A missing file is an empty one; a file that cannot be read (a directory,
  // a FIFO, no permission) leaves the entries as they are and is never
  // replaced by a save.
  const int error = ReadWholeFile(path_, &contents);
  if (error != 0) {
    if (error != ENOENT) read_error_ = error;
    return 0;
  }
  read_error_ = 0;
  std::size_t start = 0;
  while (start < contents.size()) {
    std::size_t end = contents.find('\n', start);
    if (end == std::string::npos) end = contents.size();
    std::string_view line(contents.data() + start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    entries_.push_back({std::string(line.substr(0, equals)), std::string(line.substr(equals + 1))});
  }
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
