// The device's half of the link: connect to a server, key the link with the
// password, send the login request and read the authentication reply.
//
// The device keys its link with a schedule of its own, so that a device and a
// server in one process never disturb the server's shared link schedule.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/transport/connection.h"
#include "protocol/codes.h"

namespace tarvex {

using protocol::kAuthAccepted;
using protocol::kAuthUnknownService;
using protocol::kAuthWrongCredentials;
using protocol::kFileServiceId;

// The 36-byte login request block; login and password are cut to 15 bytes.
std::string MakeLoginRequest(std::uint16_t service_id, std::string_view login,
                             std::string_view password);

// A connected, not yet keyed link, or none when the connection failed. With
// a local address the link is made from it (a loopback address of its own
// makes a device a source of its own).
std::unique_ptr<Connection> ConnectToServer(std::string_view host, std::uint16_t port,
                                            std::string_view local_address = {});

// Keys the link with the password (no terminator).
Status KeyDeviceLink(Connection* connection, std::string_view password);

// Reads the reply: command header 1, then the 2-byte status.
// A header with another code is reported as a receive failure.
Status ReceiveAuthReply(Connection* connection, std::uint16_t* auth_status, int timeout);

struct LoginOutcome {
  std::unique_ptr<Connection> connection;  // set once connected
  bool connected = false;
  Status transport = 0;         // non-zero: the link failed at this status
  std::uint16_t auth_status = 0;  // meaningful when transport is 0
  // The server closed the link without a reply: it could not read the
  // request (the password is wrong) or refused this device's address.
  bool closed_unanswered = false;
  bool Accepted() const { return connected && transport == 0 && auth_status == kAuthAccepted; }
};

// Connects (from local_address when given), keys, logs in and reads the
// reply, all within `timeout` tenths per receive.
LoginOutcome LogIn(std::string_view host, std::uint16_t port, std::string_view login,
                   std::string_view password, std::uint16_t service_id, int timeout,
                   std::string_view local_address = {});

// Names an authentication status for people ("wrong login or password", ...).
std::string DescribeAuthStatus(std::uint16_t auth_status);

}  // namespace tarvex
