#include "client/device_link.h"

#include <algorithm>

#include "common/big_endian.h"
#include "protocol/layouts.h"

namespace tarvex {

std::string MakeLoginRequest(std::uint16_t service_id, std::string_view login,
                             std::string_view password) {
  namespace layout = protocol::login;
  std::string block(layout::kLength, '\0');
  PutU16(block.data(), layout::kLength);
  PutU16(block.data() + layout::kServiceId, service_id);
  login = login.substr(0, layout::kFieldRead);
  password = password.substr(0, layout::kFieldRead);
  std::copy(login.begin(), login.end(), block.begin() + layout::kLogin);
  std::copy(password.begin(), password.end(), block.begin() + layout::kPassword);
  return block;
}

std::unique_ptr<Connection> ConnectToServer(std::string_view host, std::uint16_t port,
                                            std::string_view local_address) {
  Socket socket = ConnectTcp(host, port, local_address);
  if (!socket.IsValid()) return nullptr;
  return MakeConnection(std::move(socket));
}

Status KeyDeviceLink(Connection* connection, std::string_view password) {
  if (password.empty()) return EnableCipher(connection, password);
  return EnableCipher(connection, std::make_shared<const KeySchedule>(CreateKeySchedule(password)));
}

Status ReceiveAuthReply(Connection* connection, std::uint16_t* auth_status, int timeout) {
  std::uint16_t code = 0;
  if (Status s = ReceiveHeader(connection, &code, timeout)) return s;
  if (code != protocol::kAuthReply) return message_status::kReceiveFailed;
  char status[2];
  if (Status s = ReceiveBytes(connection, status, sizeof status, timeout)) return s;
  *auth_status = GetU16(status);
  return message_status::kOk;
}

LoginOutcome LogIn(std::string_view host, std::uint16_t port, std::string_view login,
                   std::string_view password, std::uint16_t service_id, int timeout,
                   std::string_view local_address) {
  LoginOutcome outcome;
  outcome.connection = ConnectToServer(host, port, local_address);
  if (!outcome.connection) return outcome;
  outcome.connected = true;
  Connection* link = outcome.connection.get();
  outcome.transport = KeyDeviceLink(link, password);
  if (outcome.transport == 0) {
    outcome.transport = SendBytes(link, MakeLoginRequest(service_id, login, password));
  }
  if (outcome.transport == 0) {
    outcome.transport = ReceiveAuthReply(link, &outcome.auth_status, timeout);
    if (outcome.transport != 0) {
      // A receive that failed early because the server closed the link (not
      // one that waited out its time-out) finds the end of the stream.
      const Socket& socket = link->Holder()->socket;
      char byte;
      outcome.closed_unanswered = WaitReadable(socket, std::chrono::milliseconds(0)) == WaitResult::kReady &&
                                  ReceiveSome(socket, &byte, 1) <= 0;
    }
  }
  return outcome;
}

std::string DescribeAuthStatus(std::uint16_t auth_status) {
  switch (auth_status) {
    case kAuthAccepted:
      return "login accepted";
    case kAuthWrongCredentials:
      return "wrong login name or password";
    case kAuthUnknownService:
      return "the server does not offer the requested service";
    default:
      return "unexpected authentication status " + std::to_string(auth_status);
  }
}

}  // namespace tarvex
