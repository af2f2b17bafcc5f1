#include "support/ui/desktop_world.h"

#include <filesystem>
#include <iostream>

#include "core/settings/server_settings.h"
#include "support/server/server_fixture.h"

namespace tarvex::testing {

DesktopWorld::DesktopWorld() {
  if (!EnterPrivateWorld(root_, &data_dir_)) std::cerr << "DesktopWorld: no private world\n";
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
