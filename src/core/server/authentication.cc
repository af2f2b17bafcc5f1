#include "core/server/authentication.h"

#include "common/big_endian.h"
#include "common/device_text.h"
#include "core/server/server.h"
#include "core/settings/server_settings.h"
#include "log/server_log.h"
#include "protocol/codes.h"

namespace tarvex {
namespace {

constexpr char kModule[] = "Server";
// The reply goes to a fresh link, whose buffer always has room for it; a
// second is plenty and keeps the login loop from waiting on anyone.
constexpr int kReplySendTimeout = 10;

}  // namespace

std::string FromAddress(std::string description, std::string_view address) {
  if (!address.empty()) {
    description += " from ";
    description += address;
  }
  return description;
}

void LogBeginSessionFailed(Server& server, std::int32_t session_number, std::string_view address) {
  server.Log().LogEvent(kModule, "",
                        FromAddress("Begin Session FAILED - Session [" + std::to_string(session_number) + "]", address),
                        "2");
}

void LogInvalidLogin(Server& server, std::string_view user, std::string_view address) {
  server.Log().LogEvent(kModule, std::string(user), FromAddress("Invalid Login Name and/or password", address), "2");
}

bool CheckCredentials(Server& server, std::string_view login, std::string_view password) {
  if (login != server.Settings().GetLogin()) return false;
  return password == server.Settings().GetPassword();
}

bool OffersService(Server& server, std::uint16_t service_id) {
  for (int i = 0; i < server.ServiceCount(); ++i) {
    if (server.GetService(i)->GetServiceId() == service_id) return true;
  }
  return false;
}

Status SendAuthReply(Connection* connection, std::uint16_t status) {
  const int saved = connection->SendTimeout();
  SetSendTimeout(connection, kReplySendTimeout);
  Status sent = SendHeader(connection, protocol::kAuthReply);
  if (sent == 0) {
    char reply[2];
    PutU16(reply, status);
    sent = SendBytes(connection, reply, sizeof reply);
  }
  SetSendTimeout(connection, saved);
  return sent;
}

std::unique_ptr<Session> MakeSession(Server& server, std::unique_ptr<Connection>* connection,
                                     std::string_view login_name, std::uint16_t service_id,
                                     std::int32_t session_number) {
  Service* service = nullptr;
  for (int i = 0; i < server.ServiceCount() && service == nullptr; ++i) {
    if (server.GetService(i)->GetServiceId() == service_id) service = server.GetService(i);
  }
  if (service == nullptr) return nullptr;
  std::unique_ptr<Session> made = service->CreateSession();
  if (!made) return nullptr;
  made->connection = std::move(*connection);
  made->user = std::string(login_name);
  made->device_charset = server.Settings().GetDeviceCharset();
  made->log = service->GetServerLog();
  made->session_number = session_number;
  return made;
}

}  // namespace tarvex
