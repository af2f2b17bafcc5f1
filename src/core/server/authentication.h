// Authentication of one accepted connection, run on a thread of the
// connection's own: key the link with the configured password, receive the
// login request by the login's deadline, check it, reply with command header
// 1 and a 2-byte status, and on success make and prepare a session of the
// requested service, which the same thread then runs. Each outcome is logged
// to the server log (module "Server", status "2") as the login protocol
// requires.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "core/server/service.h"
#include "core/transport/connection.h"

namespace tarvex {

class Server;

// A connection the listener accepted and handed to a login thread.
struct PendingLogin {
  std::unique_ptr<Connection> connection;
  std::int32_t session_number = 0;  // given in accept order
  SteadyTime deadline;              // the whole login request must have come by then
};

// 0 when the device logged in and *session holds a prepared session that
// owns the connection; otherwise non-zero, and the caller closes and releases
// login->connection (when it is still set).
Status AuthenticateConnection(Server& server, PendingLogin* login, std::unique_ptr<Session>* session);

// Exact, case-sensitive comparison with the configured login and password.
// The login name is the received one converted from the device's code page
// (the password is the link's key and stays as the bytes it is).
bool CheckCredentials(Server& server, std::string_view login, std::string_view password);

// 0 when a session of the service was made, filled in (the user is the login
// name in UTF-8, the device's code page that of the settings) and prepared (the
// connection moved into it), 1 when no service has the id or it gave none.
Status StartSession(Server& server, PendingLogin* login, std::string_view login_name,
                    std::uint16_t service_id, std::unique_ptr<Session>* session);

// The entry of a connection whose login failed before any reply:
// "Begin Session FAILED - Session [n]".
void LogBeginSessionFailed(Server& server, std::int32_t session_number);

}  // namespace tarvex
