// ServerFixture: a private world for one end-to-end test: a private user
// world (the per-user store and folders), temporary data and working
// directories (DATADIR, the current directory), a free loopback port, and
// a Server configured with a known login and password that listens on
// 127.0.0.1 only.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "client/device_link.h"
#include "core/server/server.h"
#include "platform/socket.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace tarvex::testing {

inline constexpr char kLogin[] = "palmuser";
inline constexpr char kPassword[] = "secret42";
inline constexpr int kReplyTimeout = 50;  // tenths, for the device's receives

// A port from 20000 to 32767 on 127.0.0.1 that was free a moment ago.
std::uint16_t FindFreePort();

// Enters a private user world in `root` (support/user_world.h), enters the
// application folder and
// makes root/data/ the data directory, which *data_dir gets (ending in "/").
// False when a step fails. For tests and benchmarks that run a real server.
bool EnterPrivateWorld(const TempDir& root, std::string* data_dir);
// Writes TSConfig.txt in the data directory with a port, login and password.
bool WriteServerSettings(const std::string& data_dir, std::uint16_t port, const std::string& login,
                         const std::string& password);

class ServerFixture : public ::testing::Test {
 protected:
  void SetUp() override;

  // Makes and initialises the server with the given services.
  void MakeServer(const std::vector<Server::ServiceFactory>& services, ServerOptions options = {});
  // WriteServerSettings with the defaults, MakeServer, StartServer.
  void StartWith(const std::vector<Server::ServiceFactory>& services, ServerOptions options = {});

  LoginOutcome LogInAs(const std::string& login, const std::string& password,
                       std::uint16_t service_id = kFileServiceId);

  // Descriptions in the server log, oldest first.
  std::vector<std::string> ServerLogDescriptions();
  // Waits (up to `limit`) until the server log holds `description`.
  bool WaitForServerLog(const std::string& description,
                        std::chrono::milliseconds limit = std::chrono::seconds(10));

  // Started for the test's whole life, as the programs start it: the device
  // side connects through it (Windows needs it; elsewhere it does nothing).
  SocketLibrary sockets_;
  TempDir root_;
  std::string data_dir_;  // ends with "/"
  std::uint16_t port_ = 0;
  std::unique_ptr<Server> server_;
};

}  // namespace tarvex::testing
