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

// Binds to address:port (any local address by default) and listens.
// 0 success; 8 socket, bind or listen failed (listener->error says why);
// 2 no listener.
Status Listen(Listener* listener, std::uint16_t port, int backlog,
              std::string_view address = kAnyAddress);

// The bound port (useful after listening on port 0), or 0.
std::uint16_t ListeningPort(const Listener* listener);

// Waits up to `timeout` tenths for a device. Codes: 0 a connection (whose
// socket may be unusable when accepting itself failed), 5 nothing came, 6 the
// wait failed, 2 no listener, 8 a device waits but descriptors or memory ran
// out (no connection; the device stays queued and an accept made at once
// fails the same way, so the caller should pause).
std::unique_ptr<Connection> AcceptConnection(Listener* listener, int timeout, Status* code);

Status CloseListener(Listener* listener);
Status FreeListener(std::unique_ptr<Listener> listener);

}  // namespace tarvex
