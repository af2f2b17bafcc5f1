// SettingsStore: named text values kept in a plain text file, one entry per
// line: the key, "=", the value. Nothing else: no comments, sections, quoting
// or trimming. A line splits at its first "="; a line without one is dropped
// at the next save. Duplicate keys are kept in file order; lookups and updates
// use the first. Keys are compared byte for byte (case-sensitive).
//
// LoadSettings reads the whole file (creating it empty when missing, never
// cutting it); ReadSettings reads it without creating anything. Lines end at
// LF; a CR before it is dropped. SaveSettings replaces the whole file
// atomically, each line ending in CR LF, as raw bytes: a failed save (a full
// disk, say) leaves the old file whole. A file that exists but cannot be read
// (a directory, a FIFO, no permission) leaves the entries unchanged, and
// SaveSettings then refuses with the read's errno value rather than replace
// a file whose contents it never saw. Reading never blocks (a FIFO is
// refused) and never throws. Every member is safe to call from any thread.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/atomic_file.h"

namespace tarvex {

class SettingsStore {
 public:
  // An empty store over the file; the owner calls LoadSettings.
  explicit SettingsStore(std::string path, SaveCalls& calls = SaveCalls::Default());
  virtual ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  // Both return 0.
  int LoadSettings();
  int ReadSettings();
  // 0 when the file now holds the entries; otherwise the errno value of the
  // failure (or of the last read's), and the file is as it was.
  int SaveSettings();

  // The value of the first entry with the key, or "" when there is none.
  std::string GetValue(std::string_view key) const;
  // Replaces the value of the first entry with the key, or appends an entry.
  // Nothing reaches the file before SaveSettings.
  void SetValue(std::string_view key, std::string_view value);

  const std::string& Path() const { return path_; }

 private:
  struct Entry {
    std::string key;
    std::string value;
  };

  const std::string path_;
  SaveCalls& calls_;
  mutable std::mutex mutex_;   // guards entries_ and the file while in use
  std::vector<Entry> entries_;  // in file order
  int read_error_ = 0;          // of the last read, unless the file was missing
};

}  // namespace tarvex
