// HttpStub: a minimal HTTP server on 127.0.0.1 for tests of the search
// client. Every connection is served on a thread of its own: the request
// head is read (up to the blank line), recorded, and answered with the raw
// bytes the responder gives; then the connection closes.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"

namespace tarvex::testing {

class HttpStub {
 public:
  // Gets the request head, gives the whole reply. Runs on connection
  // threads, possibly several at once.
  using Responder = std::function<std::string(const std::string& head)>;

  explicit HttpStub(Responder responder);
  ~HttpStub();
  HttpStub(const HttpStub&) = delete;
  HttpStub& operator=(const HttpStub&) = delete;

  std::uint16_t Port() const { return port_; }
  // The request heads received so far, in arrival order.
  std::vector<std::string> Requests() const;

  // A reply with this status and body (and any extra header lines, each
  // ending in CR LF).
  static std::string Reply(int status, const std::string& body, const std::string& headers = "");
  // The target of a head's request line ("GET <target> HTTP/1.1").
  static std::string Target(const std::string& head);

 private:
  void Serve(Socket connection);

  Responder responder_;
  SocketLibrary sockets_;  // outlives the listener (Windows needs it started)
  Socket listener_;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::vector<std::thread> connections_;
  std::thread acceptor_;
};

}  // namespace tarvex::testing
