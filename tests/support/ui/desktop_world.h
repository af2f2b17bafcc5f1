// DesktopWorld: a private home for one desktop test program. The XDG folders
// and HOME lie under one TempDir and are set once, at construction (Qt keeps
// the configuration folder it sees first). Each test case then gets a fresh
// data directory (stored as DATADIR) and working directory, entered, so that
// settings, logs and record files never carry over from one case to the next.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "support/temp_dir.h"

namespace tarvex {
class MainWindow;
}

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
  // Stores settings for a server on 127.0.0.1:port (kLogin, kPassword) with
  // the data directory as its root folder, then opens the window over them.
  // Null unless the window is shown and its server runs within 10 s.
  std::unique_ptr<MainWindow> StartWindow(std::uint16_t port) const;

 private:
  TempDir root_;
  std::unique_ptr<TempDir> case_;
  std::string data_dir_;
};

}  // namespace tarvex::testing
