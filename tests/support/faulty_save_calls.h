// FaultySaveCalls: the system calls of a save, with one step made to fail
// with a chosen error number, for tests of what a failed save leaves behind.
#pragma once

#include <cerrno>
#include <string>

#include "platform/atomic_file.h"

namespace tarvex::testing {

// The system's error number for a full disk, which a test injects, and
// whether the platform makes unnamed files (Windows has none).
#ifdef _WIN32
inline constexpr int kDiskFull = 112;  // ERROR_DISK_FULL
inline constexpr bool kUnnamedFiles = false;
#else
inline constexpr int kDiskFull = ENOSPC;
inline constexpr bool kUnnamedFiles = true;
#endif

class FaultySaveCalls : public SaveCalls {
 public:
  enum class Step { kNone, kCreate, kWrite, kSync, kRename, kCreateUnnamed };

  explicit FaultySaveCalls(Step failing = Step::kNone, int error = kDiskFull)
      : failing_(failing), error_(error) {}

  void FailAt(Step step, int error = kDiskFull) {
    failing_ = step;
    error_ = error;
  }
  int Calls() const { return calls_; }

  int Create(std::string* name_template, int suffix_length, SaveFile* file) override {
    ++calls_;
    if (failing_ == Step::kCreate) return error_;
    return SaveCalls::Create(name_template, suffix_length, file);
  }
  int Write(SaveFile file, std::string_view bytes) override {
    if (failing_ == Step::kWrite) {
      // Part of the bytes reach the temporary file, as on a disk that fills.
      SaveCalls::Write(file, bytes.substr(0, bytes.size() / 2));
      return error_;
    }
    return SaveCalls::Write(file, bytes);
  }
  // kCreateUnnamed stands for a file system without unnamed files.
  int CreateUnnamed(const std::string& directory, SaveFile* file) override {
    if (failing_ == Step::kCreateUnnamed) return EOPNOTSUPP;
    return SaveCalls::CreateUnnamed(directory, file);
  }
  int Sync(SaveFile file) override { return failing_ == Step::kSync ? error_ : SaveCalls::Sync(file); }
  int Rename(const std::string& from, const std::string& to) override {
    return failing_ == Step::kRename ? error_ : SaveCalls::Rename(from, to);
  }

 private:
  Step failing_;
  int error_;
  int calls_ = 0;
};

}  // namespace tarvex::testing
