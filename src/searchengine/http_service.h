// HttpService: a small HTTP/1.1 server on the loopback address 127.0.0.1
// only, built on libmicrohttpd. Every connection is served on a thread of
// its own; a connection idle for kIdleSeconds is closed. A request must arrive whole within kRequestSeconds
// of the connection's start (or of the previous answer on a kept-alive
// connection), however slowly its bytes trickle in; a connection that misses
// it is closed. Beyond kMaxConnections, the oldest connection still waiting
// for its request is closed for each new one, so slow clients never hold
// every place; kClosingConnections more are let in while those close. The handler sees the method, the path and
// the query arguments (percent-decoded, in request order) and gives the
// status, content type and body of the answer. It runs on the connection's
// thread and must be safe for concurrent use.
//
// Destroying the service stops listening and waits for running handlers.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct MHD_Connection;
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
  static constexpr unsigned kClosingConnections = 8;
  static constexpr unsigned kIdleSeconds = 30;
  static constexpr unsigned kRequestSeconds = 5;

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

  // A connection as the deadline keeper sees it.
  struct Waiting {
    int socket = -1;
    std::chrono::steady_clock::time_point deadline;
    bool handling = false;  // inside the handler: its own time-outs apply
  };
  void Opened(MHD_Connection* connection, int socket);
  void Closed(MHD_Connection* connection);
  void Handling(MHD_Connection* connection, bool handling);
  // Closes the connections whose request is late, until stopped.
  void KeepDeadlines();

  HttpHandler handler_;
  MHD_Daemon* daemon_ = nullptr;
  std::uint16_t port_ = 0;
  std::mutex mutex_;  // guards connections_ and stopping_
  std::condition_variable wake_;
  std::map<MHD_Connection*, Waiting> connections_;
  bool stopping_ = false;
  std::thread keeper_;

  friend struct HttpCallbacks;
};

}  // namespace tarvex
