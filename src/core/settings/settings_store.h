// SettingsStore: named text values kept in a plain text file, one entry per
// line: the key, "=", the value. Nothing else: no comments, sections, quoting
// or trimming. A line splits at its first "="; a line without one is dropped
// at the next save. Duplicate keys are kept in file order; lookups and updates
// use the first. Keys are compared byte for byte (case-sensitive).
//
// LoadSettings reads the whole file (creating it empty when missing, never
// cutting it); lines end at LF, a CR before it is dropped. SaveSettings
// rewrites the whole file, each line ending in CR LF, as raw bytes. A file
// that cannot be opened leaves the entries (on load) or the file (on save)
// unchanged; both return 0 in every case. Every member is safe to call from
// any thread.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

class SettingsStore {
 public:
  // An empty store over the file; the owner calls LoadSettings.
  explicit SettingsStore(std::string path);
  virtual ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  int LoadSettings();
  int SaveSettings();

  // The value of the first entry with the key, or "" when there is none.
  std::string GetValue(std::string_view key) const;
  // Replaces the value of the first entry with the key, or appends an entry.
  // Nothing reaches the file before SaveSettings.
  void SetValue(std::string_view key, std::string_view value);

 private:
  struct Entry {
    std::string key;
    std::string value;
  };

  const std::string path_;
  mutable std::mutex mutex_;   // guards entries_ and the file while in use
  std::vector<Entry> entries_;  // in file order
};

}  // namespace tarvex
