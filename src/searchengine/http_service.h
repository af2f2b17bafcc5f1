// HttpService: a small HTTP/1.1 server on the loopback address 127.0.0.1
// only, built on libmicrohttpd. Every connection is served on a thread of
// its own, at most kMaxConnections at once (more are refused); a connection
// idle for kIdleSeconds is closed. The handler sees the method, the path and
// the query arguments (percent-decoded, in request order) and gives the
// status, content type and body of the answer. It runs on the connection's
// thread and must be safe for concurrent use.
//
// Destroying the service stops listening and waits for running handlers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct MHD_Daemon;

namespace tarvex {

struct HttpRequest {
  std::string method;
  std::string path;
  std::vector<std::pair<std::string, std::string>> arguments;

  // The first argument of that name, or none.
  std::optional<std::string> Argument(std::string_view name) const;
};

struct HttpAnswer {
  unsigned status = 200;
  std::string content_type = "text/plain; charset=UTF-8";
  std::string body;
};

using HttpHandler = std::function<HttpAnswer(const HttpRequest&)>;

class HttpService {
 public:
  static constexpr unsigned kMaxConnections = 16;
  static constexpr unsigned kIdleSeconds = 30;

  // Listens on 127.0.0.1:port (0: a free port); none, with *error set, when
  // it cannot.
  static std::unique_ptr<HttpService> Start(std::uint16_t port, HttpHandler handler,
                                            std::string* error);
  ~HttpService();
  HttpService(const HttpService&) = delete;
  HttpService& operator=(const HttpService&) = delete;

  std::uint16_t Port() const { return port_; }

 private:
  explicit HttpService(HttpHandler handler) : handler_(std::move(handler)) {}

  HttpHandler handler_;
  MHD_Daemon* daemon_ = nullptr;
  std::uint16_t port_ = 0;

  friend struct HttpCallbacks;
};

}  // namespace tarvex
