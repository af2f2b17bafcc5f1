#include "core/server/authentication.h"

#include <cstdio>
#include <system_error>
#include <thread>

#include "common/big_endian.h"
#include "core/server/server.h"
#include "core/settings/server_settings.h"
#include "log/server_log.h"
#include "protocol/codes.h"

namespace tarvex {
namespace {

constexpr char kModule[] = "Server";

}  // namespace

bool CheckCredentials(Server& server, std::string_view login, std::string_view password) {
  if (login != server.Settings().GetLogin()) return false;
  return password == server.Settings().GetPassword();
}

Status AuthenticateConnection(Server& server, std::unique_ptr<Connection>* connection) {
  Status result = 0;
  EnableCipher(connection->get(), server.Settings().GetPassword());
  LoginRequest request;
  if (ReceiveLogin(connection->get(), &request, server.Options().login_timeout) != 0) {
    char description[64];
    std::snprintf(description, sizeof description, "%s - Session [%d]", "Begin Session FAILED",
                  static_cast<int>(server.session_counter_));
    server.Log().LogEvent(kModule, "", description, "2");
    result = 1;
  } else {
    std::uint16_t status = protocol::kAuthAccepted;
    if (!CheckCredentials(server, request.login, request.password)) {
      status = protocol::kAuthWrongCredentials;
      server.Log().LogEvent(kModule, request.login, "Invalid Login Name and/or password", "2");
    } else {
      status = protocol::kAuthUnknownService;
      for (int i = 0; i < server.ServiceCount(); ++i) {
        if (server.GetService(i)->GetServiceId() == request.service_id) status = protocol::kAuthAccepted;
      }
    }
    Status sent = SendHeader(connection->get(), protocol::kAuthReply);
    if (sent == 0) {
      char reply[2];
      PutU16(reply, status);
      sent = SendBytes(connection->get(), reply, sizeof reply);
    }
    if (sent != 0) {
      server.Log().LogEvent(kModule, request.login, "Error sending auth response", "2");
      result = sent;
    } else if (status != protocol::kAuthAccepted) {
      result = 1;
    } else {
      result = StartSession(server, connection, request.login, request.service_id);
    }
  }
  ++server.session_counter_;
  return result;
}

Status StartSession(Server& server, std::unique_ptr<Connection>* connection,
                    std::string_view login, std::uint16_t service_id) {
  Service* service = nullptr;
  for (int i = 0; i < server.ServiceCount() && service == nullptr; ++i) {
    if (server.GetService(i)->GetServiceId() == service_id) service = server.GetService(i);
  }
  if (service == nullptr) return 1;
  std::unique_ptr<Session> session = service->CreateSession();
  if (!session) return 1;

  Socket link_duplicate;
  if (SocketHolder* holder = (*connection)->Holder()) link_duplicate = DuplicateSocket(holder->socket);
  session->connection = std::move(*connection);
  session->user = std::string(login.substr(0, 15));
  session->log = service->GetServerLog();
  session->session_number = server.session_counter_;
  session->Prepare();

  SessionTracker& tracker = server.sessions_;
  const std::uint64_t ticket = tracker.Enter(std::move(link_duplicate));
  try {
    std::thread([owned = std::move(session), &tracker, ticket]() mutable {
      owned->Run();
      owned.reset();
      tracker.Finish(ticket);
    }).detach();
  } catch (const std::system_error&) {
    // No thread could be made: the session and its link are gone with it.
    tracker.Finish(ticket);
    return 1;
  }
  return 0;
}

}  // namespace tarvex
