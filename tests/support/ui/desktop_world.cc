#include "support/ui/desktop_world.h"

#include <cstdlib>
#include <filesystem>

#include "core/settings/server_settings.h"

namespace tarvex::testing {

DesktopWorld::DesktopWorld() {
  for (const char* d : {"config", "share", "run"}) std::filesystem::create_directories(root_.File(d));
  setenv("XDG_CONFIG_HOME", root_.File("config").c_str(), 1);
  setenv("XDG_DATA_HOME", root_.File("share").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", root_.File("run").c_str(), 1);
  setenv("HOME", root_.Path().c_str(), 1);
  NewCase();
}

DesktopWorld::~DesktopWorld() { std::filesystem::current_path(root_.Path()); }

void DesktopWorld::NewCase() {
  auto next = std::make_unique<TempDir>();
  std::filesystem::create_directories(next->File("data"));
  std::filesystem::create_directories(next->File("work"));
  std::filesystem::current_path(next->File("work"));
  case_ = std::move(next);
  data_dir_ = case_->File("data") + "/";
  ServerSettings::SetDataDir(data_dir_);
}

std::string DesktopWorld::WorkFile(const std::string& name) const {
  return case_->File("work") + "/" + name;
}

}  // namespace tarvex::testing
