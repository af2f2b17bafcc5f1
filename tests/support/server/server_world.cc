#include "support/server/server_world.h"

#include <cstdlib>
#include <filesystem>
#include <random>

#include "core/settings/server_settings.h"
#include "platform/app_folder.h"
#include "platform/socket.h"

namespace tarvex::testing {

std::uint16_t FindFreePort() {
  // Configured ports lie from 1 to 32767, below the ephemeral range.
  std::random_device seed;
  std::mt19937 random(seed());
  std::uniform_int_distribution<int> pick(20000, 32767);
  for (int attempt = 0; attempt < 200; ++attempt) {
    const auto port = static_cast<std::uint16_t>(pick(random));
    if (ListenTcp("127.0.0.1", port, 1).IsValid()) return port;
  }
  return 0;
}

std::optional<std::string> EnterServerWorld(const TempDir& root) {
  for (const char* dir : {"config", "data", "share"}) std::filesystem::create_directories(root.File(dir));
  setenv("XDG_CONFIG_HOME", root.File("config").c_str(), 1);
  setenv("XDG_DATA_HOME", root.File("share").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", root.Path().c_str(), 1);
  setenv("HOME", root.Path().c_str(), 1);
  if (!EnterAppFolder()) return std::nullopt;
  std::string data_dir = root.File("data") + "/";
  if (!ServerSettings::SetDataDir(data_dir)) return std::nullopt;
  return data_dir;
}

bool WriteServerSettings(const std::string& data_dir, std::uint16_t port, const std::string& login,
                         const std::string& password) {
  ServerSettings settings(data_dir + "TSConfig.txt");
  settings.SetPort(port);
  settings.SetLogin(login);
  if (!settings.SetPassword(password)) return false;
  settings.SaveSettings();
  return true;
}

}  // namespace tarvex::testing
