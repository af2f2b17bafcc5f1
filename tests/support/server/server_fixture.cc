#include "support/server/server_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "core/settings/server_settings.h"
#include "log/server_log.h"
#include "platform/app_folder.h"
#include "platform/socket.h"
#include "support/user_world.h"

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

bool EnterPrivateWorld(const TempDir& root, std::string* data_dir) {
  std::filesystem::create_directories(root.File("data"));
  *data_dir = root.File("data") + "/";
  return EnterUserWorld(root.Path()) && EnterAppFolder() && ServerSettings::SetDataDir(*data_dir);
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

void ServerFixture::SetUp() {
  ASSERT_TRUE(EnterPrivateWorld(root_, &data_dir_));
  port_ = FindFreePort();
  ASSERT_NE(port_, 0);
}

void ServerFixture::MakeServer(const std::vector<Server::ServiceFactory>& services, ServerOptions options) {
  options.listen_address = "127.0.0.1";
  server_ = std::make_unique<Server>(options);
  ASSERT_TRUE(server_->InitServer(services));
}

void ServerFixture::StartWith(const std::vector<Server::ServiceFactory>& services, ServerOptions options) {
  ASSERT_TRUE(WriteServerSettings(data_dir_, port_, kLogin, kPassword));
  MakeServer(services, options);
  ASSERT_TRUE(server_->StartServer());
}

LoginOutcome ServerFixture::LogInAs(const std::string& login, const std::string& password,
                                    std::uint16_t service_id) {
  return LogIn("127.0.0.1", port_, login, password, service_id, kReplyTimeout);
}

std::vector<std::string> ServerFixture::ServerLogDescriptions() {
  std::vector<std::string> descriptions;
  ServerLog& log = server_->Log();
  for (int i = log.GetCount() - 1; i >= 0; --i) {
    if (auto record = log.GetRecord(i)) descriptions.push_back(record->GetField(4));
  }
  return descriptions;
}

bool ServerFixture::WaitForServerLog(const std::string& description, std::chrono::milliseconds limit) {
  return WaitUntil([&] { return std::ranges::count(ServerLogDescriptions(), description) > 0; }, limit);
}

}  // namespace tarvex::testing
