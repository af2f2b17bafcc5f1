// FileServiceFixture: a real server with the file-exchange service on a
// loopback port, its root directory under the test's private world, and the
// device-side helpers the file-service tests share.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "fileservice/file_service.h"
#include "support/server/server_fixture.h"

namespace tarvex::testing {

class FileServiceFixture : public ServerFixture {
 protected:
  void SetUp() override;
  // Starts the server; receive_timeout in tenths, save_calls for uploads.
  void Start(int receive_timeout = 50, SaveCalls* save_calls = nullptr);
  // A logged-in device link.
  std::unique_ptr<Connection> Device();
  // Exactly n bytes of the reply stream.
  std::string Receive(Connection* link, std::size_t n);
  // The plain contents of the next `count` frames, read straight from the
  // socket, so that a test sees how a reply was cut into items.
  std::vector<std::string> ReceiveItems(Connection* link, std::size_t count);
  // The next thing from the server is its end code 3, then the link closes.
  void ExpectSessionEnd(Connection* link);
  // Waits until the service log holds a description beginning with `prefix`.
  bool WaitForServiceLog(const std::string& prefix);

  std::string root_dir_;  // ROOTDIR, without a trailing separator
};

// The same, with the root directory made: dir_, ending in "/".
class ExchangeFixture : public FileServiceFixture {
 protected:
  void SetUp() override;

  std::string dir_;
};

}  // namespace tarvex::testing
