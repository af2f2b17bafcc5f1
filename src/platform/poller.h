// Poller: waits for readability on many sockets at once (epoll on Linux,
// WSAPoll on Windows), for the
// server's login loop, which holds every connection that has not finished
// its login without a thread for each.
//
// Each registered socket carries a token chosen by the caller; Wait gives the
// tokens of the sockets that are readable (or whose peer closed or failed).
// Registration is level-triggered: a socket stays ready while bytes wait.
// A socket must be removed before it is closed (a duplicate of its
// descriptor would otherwise keep it registered).
//
// Wake may be called from any thread; it ends the current or next Wait at
// once. Everything else requires external synchronisation (one thread).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/socket.h"

namespace tarvex {

class Poller {
 public:
  Poller();
  ~Poller();
  Poller(const Poller&) = delete;
  Poller& operator=(const Poller&) = delete;

  // False when the poller could not be made (no descriptors left).
  bool IsValid() const;

  // False when the socket could not be registered.
  bool Add(const Socket& socket, std::uint64_t token);
  void Remove(const Socket& socket);

  // Waits at most `timeout` and fills *ready with the tokens of the ready
  // sockets (at most `most` of them). A Wake makes it return at once, with
  // *woken set. False when the wait failed.
  bool Wait(std::chrono::milliseconds timeout, std::size_t most, std::vector<std::uint64_t>* ready,
            bool* woken);
  void Wake();

 private:
  struct Impl;  // the platform's
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarvex
