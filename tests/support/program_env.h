// ProgramEnvironment: a private home for programs started by a test: their
// configuration, data, runtime and home directories under one TempDir, as
// "NAME=value" entries for SpawnedProcess and RunSpawned.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "platform/spawned_process.h"
#include "support/temp_dir.h"

namespace tarvex::testing {

// How long a program run to its end by a test may take.
inline constexpr std::chrono::seconds kProgramLimit{30};

class ProgramEnvironment {
 public:
  ProgramEnvironment();

  const std::vector<std::string>& Env() const { return env_; }
  void Add(const std::string& entry) { env_.push_back(entry); }
  // A file in the programs' application folder.
  std::string AppFile(const std::string& name) const;
  const TempDir& Dir() const { return dir_; }

 private:
  TempDir dir_;
  std::vector<std::string> env_;
};

}  // namespace tarvex::testing
