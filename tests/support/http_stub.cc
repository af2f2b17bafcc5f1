#include "support/http_stub.h"

#include "support/loopback.h"

namespace tarvex::testing {

HttpStub::HttpStub(Responder responder) : responder_(std::move(responder)) {
  listener_ = ListenTcp("127.0.0.1", 0, 16);
  port_ = LocalPort(listener_);
  acceptor_ = std::thread([this] {
    while (!stopping_) {
      if (WaitReadable(listener_, 1) != WaitResult::kReady) continue;
      Socket connection = AcceptTcp(listener_);
      if (!connection.IsValid()) continue;
      std::lock_guard<std::mutex> lock(mutex_);
      connections_.emplace_back([this, c = std::move(connection)]() mutable { Serve(std::move(c)); });
    }
  });
}

HttpStub::~HttpStub() {
  stopping_ = true;
  acceptor_.join();
  for (std::thread& t : connections_) t.join();
}

void HttpStub::Serve(Socket connection) {
  std::string head;
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
    const std::string more = ReadRaw(connection, 1, 5);
    if (more.empty()) return;
    head += more;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(head);
  }
  WriteRaw(connection, responder_(head));
  ShutdownSend(connection);
}

std::vector<std::string> HttpStub::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::string HttpStub::Reply(int status, const std::string& body, const std::string& headers) {
  return "HTTP/1.1 " + std::to_string(status) + " Stub\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n" + headers + "\r\n" + body;
}

std::string HttpStub::Target(const std::string& head) {
  const std::size_t start = head.find(' ') + 1;
  return head.substr(start, head.find(' ', start) - start);
}

}  // namespace tarvex::testing
