#include "core/server/authentication.h"

#include <cstdio>

#include "common/big_endian.h"
#include "common/device_text.h"
#include "core/server/server.h"
#include "core/settings/server_settings.h"
#include "log/server_log.h"
#include "protocol/codes.h"

namespace tarvex {
namespace {

constexpr char kModule[] = "Server";

}  // namespace

void LogBeginSessionFailed(Server& server, std::int32_t session_number) {
  char description[64];
  std::snprintf(description, sizeof description, "%s - Session [%d]", "Begin Session FAILED",
                static_cast<int>(session_number));
  server.Log().LogEvent(kModule, "", description, "2");
}

bool CheckCredentials(Server& server, std::string_view login, std::string_view password) {
  if (login != server.Settings().GetLogin()) return false;
  return password == server.Settings().GetPassword();
}



Status AuthenticateConnection(Server& server, PendingLogin* login, std::unique_ptr<Session>* session) {
  Connection* link = login->connection.get();
  EnableCipher(link, server.Settings().GetPassword());
  // The deadline bounds the whole request, however the device splits it.
  SetReceiveDeadline(link, login->deadline);
  LoginRequest request;
  const Status received = ReceiveLogin(link, &request, server.Options().login_timeout);
  SetReceiveDeadline(link, std::nullopt);
  if (received != 0) {
    LogBeginSessionFailed(server, login->session_number);
    return 1;
  }

  // The login name as the desktop reads it, in UTF-8 for the log and the
  // window. It matches a configured name stored in UTF-8, or one stored as
  // the device's bytes (a settings file carried over from the original
  // platform).
  const std::string login_name = DeviceText(server.Settings().GetDeviceCharset()).FromDevice(request.login);
  std::uint16_t status = protocol::kAuthAccepted;
  if (!CheckCredentials(server, login_name, request.password) &&
      (login_name == request.login || !CheckCredentials(server, request.login, request.password))) {
    status = protocol::kAuthWrongCredentials;
    server.Log().LogEvent(kModule, login_name, "Invalid Login Name and/or password", "2");
  } else {
    status = protocol::kAuthUnknownService;
    for (int i = 0; i < server.ServiceCount(); ++i) {
      if (server.GetService(i)->GetServiceId() == request.service_id) status = protocol::kAuthAccepted;
    }
  }
  Status sent = SendHeader(link, protocol::kAuthReply);
  if (sent == 0) {
    char reply[2];
    PutU16(reply, status);
    sent = SendBytes(link, reply, sizeof reply);
  }
  if (sent != 0) {
    server.Log().LogEvent(kModule, login_name, "Error sending auth response", "2");
    return sent;
  }
  if (status != protocol::kAuthAccepted) return 1;
  return StartSession(server, login, login_name, request.service_id, session);
}

Status StartSession(Server& server, PendingLogin* login, std::string_view login_name,
                    std::uint16_t service_id, std::unique_ptr<Session>* session) {
  Service* service = nullptr;
  for (int i = 0; i < server.ServiceCount() && service == nullptr; ++i) {
    if (server.GetService(i)->GetServiceId() == service_id) service = server.GetService(i);
  }
  if (service == nullptr) return 1;
  std::unique_ptr<Session> made = service->CreateSession();
  if (!made) return 1;

  made->connection = std::move(login->connection);
  made->user = std::string(login_name);
  made->device_charset = server.Settings().GetDeviceCharset();
  made->log = service->GetServerLog();
  made->session_number = login->session_number;
  made->Prepare();
  *session = std::move(made);
  return 0;
}

}  // namespace tarvex
