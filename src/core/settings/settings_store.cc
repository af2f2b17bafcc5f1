#include "core/settings/settings_store.h"

#include <fstream>
#include <utility>

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
  std::ifstream in(path_, std::ios::binary);
  if (!in.is_open()) return 0;
  std::string contents;
  char chunk[4096];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    contents.append(chunk, static_cast<std::size_t>(in.gcount()));
  }
  // A read error (such as a directory) counts as a file that cannot be opened.
  if (in.bad()) return 0;
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
