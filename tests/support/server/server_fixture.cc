#include "support/server/server_fixture.h"

#include <thread>

#include "log/server_log.h"

namespace tarvex::testing {

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void ServerFixture::SetUp() {
  std::optional<std::string> data_dir = EnterServerWorld(root_);
  ASSERT_TRUE(data_dir);
  data_dir_ = *data_dir;
  port_ = FindFreePort();
  ASSERT_NE(port_, 0);
}

void ServerFixture::WriteSettings(std::uint16_t port, const std::string& login,
                                  const std::string& password) {
  ASSERT_TRUE(WriteServerSettings(data_dir_, port, login, password));
}

void ServerFixture::MakeServer(const std::vector<Server::ServiceFactory>& services,
                               ServerOptions options) {
  options.listen_address = "127.0.0.1";
  server_ = std::make_unique<Server>(options);
  ASSERT_TRUE(server_->InitServer(services));
}

void ServerFixture::StartWith(const std::vector<Server::ServiceFactory>& services,
                              ServerOptions options) {
  WriteSettings(port_, kLogin, kPassword);
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

bool ServerFixture::WaitForServerLog(const std::string& description,
                                     std::chrono::milliseconds limit) {
  return WaitUntil(
      [&] {
        for (const std::string& d : ServerLogDescriptions()) {
          if (d == description) return true;
        }
        return false;
      },
      limit);
}

}  // namespace tarvex::testing
