// DesktopWorld: a private home for one desktop test program. The XDG folders
// and HOME lie under one TempDir and are set once, at construction (Qt keeps
// the configuration folder it sees first). Each test case then gets a fresh
// data directory (stored as DATADIR) and working directory, entered, so that
// settings, logs and record files never carry over from one case to the next.
#pragma once

#include <memory>
#include <string>

#include "support/temp_dir.h"

namespace tarvex::testing {

class DesktopWorld {
 public:
  DesktopWorld();
  ~DesktopWorld();

  // A fresh data directory and working directory for the next case.
  void NewCase();
  // Ends with "/".
  const std::string& DataDir() const { return data_dir_; }
  std::string SettingsFile() const { return data_dir_ + "TSConfig.txt"; }
  // A file in the working directory (the logs lie there).
  std::string WorkFile(const std::string& name) const;

 private:
  TempDir root_;
  std::unique_ptr<TempDir> case_;
  std::string data_dir_;
};

}  // namespace tarvex::testing
