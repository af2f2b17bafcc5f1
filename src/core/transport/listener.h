// Listener: the TCP endpoint on which devices connect.
// CreateListener, Listen, any number of AcceptConnection, then CloseListener
// and FreeListener.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "core/transport/connection.h"

namespace tarvex {

struct Listener {
  std::unique_ptr<SocketHolder> holder;  // none until Listen
  int error = 0;  // the system's error number of the last failed Listen
};

std::unique_ptr<Listener> CreateListener();

// Makes the listener's holder (one socket library start-up), binds to
// address:port (any local address by default) and listens. 0 success; 8
// socket, bind or listen failed (listener->error says why) or the socket
// library could not be started (listener->error 0, no holder); 2 no
// listener.
Status Listen(Listener* listener, std::uint16_t port, int backlog,
              std::string_view address = kAnyAddress);

// The bound port (useful after listening on port 0), or 0.
std::uint16_t ListeningPort(const Listener* listener);

// Waits up to `timeout` tenths for a device. Codes: 0 a connection (whose
// socket may be unusable when accepting itself failed), 5 nothing came, 6 the
// wait failed or the connection's holder could not start the socket
// library, 2 no listener, 8 a device waits but descriptors or memory ran
// out (no connection; the device stays queued and an accept made at once
// fails the same way, so the caller should pause).
std::unique_ptr<Connection> AcceptConnection(Listener* listener, int timeout, Status* code);

// Accepts a device that is already queued, without waiting: the codes of
// AcceptConnection, 5 when none is queued. A connection whose accept failed
// otherwise comes with an unusable socket, as with AcceptConnection.
std::unique_ptr<Connection> AcceptWaiting(Listener* listener, Status* code);

// The listening socket, for a caller that waits on it with others; none
// before Listen.
const Socket* ListeningSocket(const Listener* listener);

Status CloseListener(Listener* listener);
Status FreeListener(std::unique_ptr<Listener> listener);

}  // namespace tarvex
