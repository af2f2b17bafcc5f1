// Authentication of one accepted connection, run on the listener thread:
// key the link with the configured password, receive the login request,
// check it, reply with command header 1 and a 2-byte status, and on success
// start a session of the requested service on its own thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "core/transport/connection.h"

namespace tarvex {

class Server;

// 0 when the connection was handed to a started session (it is moved out of
// *connection); otherwise non-zero, and the caller closes and releases it.
// Counts the connection in the server's session counter either way.
Status AuthenticateConnection(Server& server, std::unique_ptr<Connection>* connection);

// Exact, case-sensitive comparison with the configured login and password.
bool CheckCredentials(Server& server, std::string_view login, std::string_view password);

// 0 when the session thread has been started (the connection moved into the
// session), 1 otherwise.
Status StartSession(Server& server, std::unique_ptr<Connection>* connection,
                    std::string_view login, std::uint16_t service_id);

}  // namespace tarvex
