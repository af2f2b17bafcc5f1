// FileServiceFixture: a real server with the file-exchange service on a
// loopback port, its root directory under the test's private world, and the
// device-side helpers the file-service tests share.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "client/file_requests.h"
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
  // Uploads `content` as dir + name for `user`: the reply status.
  std::int32_t Put(Connection* link, const std::string& dir, const std::string& name, const std::string& content,
                   std::uint32_t user = 0);
  // Downloads dir + name for `user` (tracked with track 1): the content, ""
  // when refused, and the reply in *reply when asked for.
  std::string Get(Connection* link, const std::string& dir, const std::string& name, GetFileReply* reply = nullptr,
                  std::uint16_t track = 0, std::uint32_t user = 0);
  // Sends a request's header, then its block.
  void Send(Connection* link, std::uint16_t code, const std::string& block);
  // The next request is answered in full: nothing was left over before it.
  void ExpectInStep(Connection* link);
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

// The same, with the root directory made: dir_, ending in a separator.
class ExchangeFixture : public FileServiceFixture {
 protected:
  void SetUp() override;

  std::string dir_;
};

}  // namespace tarvex::testing
