// RecordFileLock: while it lives, holds the process-wide lock of one record
// file, so that a load-change-save of a file shared by sessions (giving a new
// user the next id, rewriting the tracked files) is never interleaved with
// another thread's. Locks are kept per file in a registry that lives as long
// as the process; spellings of a path that name the same file (NormalisePath)
// share one lock. Not recursive: a thread takes a file's lock once at a time.
#pragma once

#include <mutex>
#include <string_view>

#include "datafiles/record_file.h"

namespace tarvex {

class RecordFileLock {
 public:
  explicit RecordFileLock(std::string_view path);
  explicit RecordFileLock(const RecordFile& file) : RecordFileLock(file.Path()) {}
  RecordFileLock(const RecordFileLock&) = delete;
  RecordFileLock& operator=(const RecordFileLock&) = delete;

 private:
  std::unique_lock<std::mutex> lock_;
};

}  // namespace tarvex
