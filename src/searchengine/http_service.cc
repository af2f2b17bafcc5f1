#include "searchengine/http_service.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace tarvex {

std::optional<std::string> HttpRequest::Argument(std::string_view name) const {
  for (const auto& [key, value] : arguments) {
    if (key == name) return value;
  }
  return std::nullopt;
}

// libmicrohttpd's callbacks, with access to the service.
struct HttpCallbacks {
  static MHD_Result CollectArgument(void* cls, MHD_ValueKind, const char* key, const char* value) {
    auto* request = static_cast<HttpRequest*>(cls);
    request->arguments.emplace_back(key != nullptr ? key : "", value != nullptr ? value : "");
    return MHD_YES;
  }

  static MHD_Result Access(void* cls, MHD_Connection* connection, const char* url, const char* method,
                           const char*, const char*, std::size_t* upload_size, void** request_state) {
    // The first call only announces the request; a body, should one come,
    // is read and dropped; the answer goes out on the last call.
    static int announced;
    if (*request_state == nullptr) {
      *request_state = &announced;
      return MHD_YES;
    }
    if (*upload_size != 0) {
      *upload_size = 0;
      return MHD_YES;
    }
    auto* service = static_cast<HttpService*>(cls);
    service->Handling(connection, true);
    HttpRequest request;
    request.method = method != nullptr ? method : "";
    request.path = url != nullptr ? url : "";
    MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, &CollectArgument, &request);
    const HttpAnswer answer = service->handler_(request);
    service->Handling(connection, false);

    MHD_Response* response = MHD_create_response_from_buffer(
        answer.body.size(), const_cast<char*>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
    if (response == nullptr) return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.content_type.c_str());
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    const MHD_Result queued = MHD_queue_response(connection, answer.status, response);
    MHD_destroy_response(response);
    return queued;
  }

  static void Notify(void* cls, MHD_Connection* connection, void**, MHD_ConnectionNotificationCode code) {
    auto* service = static_cast<HttpService*>(cls);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
      const MHD_ConnectionInfo* info =
          MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
      service->Opened(connection, info != nullptr ? info->connect_fd : -1);
    } else {
      service->Closed(connection);
    }
  }
};

void HttpService::Opened(MHD_Connection* connection, int socket) {
  std::lock_guard<std::mutex> guard(mutex_);
  const auto now = std::chrono::steady_clock::now();
  connections_[connection] = {socket, now + std::chrono::seconds(kRequestSeconds), false};
  if (connections_.size() <= kMaxConnections) return;
  // Every place is taken: the oldest connection still waiting for its
  // request makes room, so that a new one always finds a place.
  auto oldest = connections_.end();
  for (auto it = connections_.begin(); it != connections_.end(); ++it) {
    if (it->first == connection || it->second.handling || it->second.socket < 0) continue;
    if (oldest == connections_.end() || it->second.deadline < oldest->second.deadline) oldest = it;
  }
  if (oldest != connections_.end()) {
    // shutdown() only ends the traffic; libmicrohttpd closes the socket,
    // and only after telling Closed, which waits for this lock.
    ::shutdown(oldest->second.socket, SHUT_RDWR);
    oldest->second.socket = -1;
  }
}

void HttpService::Closed(MHD_Connection* connection) {
  std::lock_guard<std::mutex> guard(mutex_);
  connections_.erase(connection);
}

void HttpService::Handling(MHD_Connection* connection, bool handling) {
  std::lock_guard<std::mutex> guard(mutex_);
  auto it = connections_.find(connection);
  if (it == connections_.end()) return;
  it->second.handling = handling;
  // The next request on a kept-alive connection gets a deadline of its own.
  if (!handling) it->second.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kRequestSeconds);
}

void HttpService::KeepDeadlines() {
  std::unique_lock<std::mutex> guard(mutex_);
  while (!stopping_) {
    wake_.wait_for(guard, std::chrono::milliseconds(250));
    const auto now = std::chrono::steady_clock::now();
    for (auto& [connection, waiting] : connections_) {
      if (waiting.handling || waiting.socket < 0 || waiting.deadline > now) continue;
      ::shutdown(waiting.socket, SHUT_RDWR);
      waiting.socket = -1;
    }
  }
}

std::unique_ptr<HttpService> HttpService::Start(std::uint16_t port, HttpHandler handler,
                                                std::string* error) {
  std::unique_ptr<HttpService> service(new HttpService(std::move(handler)));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  service->daemon_ = MHD_start_daemon(
      MHD_USE_AUTO | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_THREAD_PER_CONNECTION, port, nullptr,
      nullptr, &HttpCallbacks::Access, service.get(), MHD_OPTION_SOCK_ADDR, &address,
      MHD_OPTION_CONNECTION_LIMIT, kMaxConnections + kClosingConnections,
      MHD_OPTION_CONNECTION_TIMEOUT, kIdleSeconds,
      MHD_OPTION_NOTIFY_CONNECTION, &HttpCallbacks::Notify, service.get(), MHD_OPTION_END);
  if (service->daemon_ == nullptr) {
    *error = "cannot listen on 127.0.0.1:" + std::to_string(port);
    return nullptr;
  }
  const MHD_DaemonInfo* info = MHD_get_daemon_info(service->daemon_, MHD_DAEMON_INFO_BIND_PORT);
  service->port_ = info != nullptr && info->port != 0 ? info->port : port;
  service->keeper_ = std::thread([raw = service.get()] { raw->KeepDeadlines(); });
  return service;
}

HttpService::~HttpService() {
  if (daemon_ != nullptr) MHD_stop_daemon(daemon_);
  {
    std::lock_guard<std::mutex> guard(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (keeper_.joinable()) keeper_.join();
}

}  // namespace tarvex
