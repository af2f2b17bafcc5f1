// The steps of authenticating one device, run by the server's login loop
// once the device's login request has arrived: check the credentials, reply
// with command header 1 and a 2-byte status, and make the session of the
// requested service. Also the log entries of a login, each of which names
// the device's address after its text (module "Server", status "2").
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/server/service.h"
#include "core/transport/connection.h"

namespace tarvex {

class Server;

// Exact, case-sensitive comparison with the configured login and password.
// The login name is the received one converted from the device's code page
// (the password is the link's key and stays as the bytes it is).
bool CheckCredentials(Server& server, std::string_view login, std::string_view password);

// True when a registered service has the id.
bool OffersService(Server& server, std::uint16_t service_id);

// Sends command header 1 and the status, waiting at most a second for the
// socket to take them; 0 or the status of the failed send.
Status SendAuthReply(Connection* connection, std::uint16_t status);

// A session of the service with the id, filled in (the connection moved into
// it, the user being the login name in UTF-8 and the device's code page that
// of the settings); none, leaving the connection alone, when no service has the id or it
// gave none. Prepare is left to the session's own thread.
std::unique_ptr<Session> MakeSession(Server& server, std::unique_ptr<Connection>* connection,
                                     std::string_view login_name, std::uint16_t service_id,
                                     std::int32_t session_number);

// "<description> from <address>", or the description alone when the address
// is not known.
std::string FromAddress(std::string description, std::string_view address);

// "Begin Session FAILED - Session [n] from <address>": a login that failed
// before any reply.
void LogBeginSessionFailed(Server& server, std::int32_t session_number, std::string_view address);
// "Invalid Login Name and/or password from <address>".
void LogInvalidLogin(Server& server, std::string_view user, std::string_view address);

}  // namespace tarvex
