#include "support/ui/desktop_world.h"

#include <QtTest/QtTest>

#include <filesystem>
#include <iostream>

#include "app/main_window.h"
#include "core/settings/server_settings.h"
#include "core/settings/root_dir.h"
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

std::unique_ptr<MainWindow> DesktopWorld::StartWindow(std::uint16_t port) const {
  if (!WriteServerSettings(data_dir_, port, kLogin, kPassword) || !WriteRootDir(data_dir_)) return nullptr;
  ServerOptions options;
  options.listen_address = "127.0.0.1";
  auto window = std::make_unique<MainWindow>(options);
  window->show();
  if (!QTest::qWaitForWindowExposed(window.get())) return nullptr;
  if (!QTest::qWaitFor([&] { return window->IsRunning(); }, 10000)) return nullptr;
  return window;
}

}  // namespace tarvex::testing
