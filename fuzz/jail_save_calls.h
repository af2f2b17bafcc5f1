// JailSaveCalls: the system calls of a save, refused (EACCES) for any file
// outside the fuzz world. A fuzzed session may name any path on the machine
// for an upload; with these calls it can only ever write inside the world.
#pragma once

#include <cerrno>
#include <string>

#include "fuzz_world.h"
#include "platform/atomic_file.h"

namespace tarvex::fuzz {

class JailSaveCalls : public SaveCalls {
 public:
  explicit JailSaveCalls(const FuzzWorld& world) : world_(world) {}

  int Create(std::string* name_template, int suffix_length, int* fd) override {
    if (!world_.Holds(*name_template)) return EACCES;
    return SaveCalls::Create(name_template, suffix_length, fd);
  }
  int Rename(const std::string& from, const std::string& to) override {
    if (!world_.Holds(from) || !world_.Holds(to)) return EACCES;
    return SaveCalls::Rename(from, to);
  }

 private:
  const FuzzWorld& world_;
};

}  // namespace tarvex::fuzz
