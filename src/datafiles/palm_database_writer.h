// PalmDatabaseWriter: writes one Palm OS record database (.pdb): a 78-byte
// header, a record list of 8-byte entries, then the records' bytes, all
// numbers big-endian, type "data" and creator "QLCl", every date 1000.
//
//   PalmDatabaseWriter writer;
//   writer.BeginDatabase("QSSrvCfgDB", path);
//   writer.AppendRecord(bytes) ...
//   if (!writer.FinishDatabase()) ... writer.Error() ...
//
// Records are collected in memory (they are small) and the file is written
// whole by FinishDatabase through the atomic save, so a half-written database
// never stands under the final name, and a failure leaves an earlier file of
// that name as it was. A name of 32 characters or more is cut to 31, so the
// name field keeps its terminating zero. One writer writes one database from
// one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/atomic_file.h"

namespace tarvex {

inline constexpr std::size_t kPalmHeaderSize = 78;
inline constexpr std::size_t kPalmEntrySize = 8;
inline constexpr std::size_t kPalmNameField = 32;

class PalmDatabaseWriter {
 public:
  explicit PalmDatabaseWriter(SaveCalls& calls = SaveCalls::Default()) : calls_(calls) {}

  // Sets the name and prepares the output at path; a path that cannot be
  // written is reported by FinishDatabase.
  void BeginDatabase(std::string_view name, const std::string& path);
  // Adds a record; false (nothing added) when the database is already too
  // large for its 32-bit offsets and 16-bit record count.
  bool AppendRecord(std::string_view bytes);
  // Writes header, record list and records; true when the whole database
  // stands at the path. On failure Error() says why.
  bool FinishDatabase();

  const std::string& Error() const { return error_; }

 private:
  SaveCalls& calls_;
  std::unique_ptr<AtomicFile> output_;
  std::string name_;
  std::vector<std::uint32_t> offsets_;  // of each record within the data
  std::string data_;
  std::string error_;
};

}  // namespace tarvex
