#include "core/transport/listener.h"

namespace tarvex {

std::unique_ptr<Listener> CreateListener() { return std::make_unique<Listener>(); }

Status Listen(Listener* listener, std::uint16_t port, int backlog, std::string_view address) {
  if (listener == nullptr) return 2;
  Status started = socket_status::kOk;
  std::unique_ptr<SocketHolder> holder = MakeSocketHolder(&started);
  if (!holder) {
    listener->holder.reset();
    listener->error = 0;
    return MapListenerStatus(started);
  }
  holder->socket = ListenTcp(address, port, backlog, &listener->error);
  const bool ok = holder->socket.IsValid();
  listener->holder = std::move(holder);
  return MapListenerStatus(ok ? socket_status::kOk : socket_status::kSocketFailed);
}

std::uint16_t ListeningPort(const Listener* listener) {
  if (listener == nullptr || !listener->holder) return 0;
  return LocalPort(listener->holder->socket);
}

std::unique_ptr<Connection> AcceptConnection(Listener* listener, int timeout, Status* code) {
  if (listener == nullptr) {
    *code = accept_status::kNoListener;
    return nullptr;
  }
  if (!listener->holder) {
    *code = accept_status::kWaitFailed;
    return nullptr;
  }
  switch (WaitReadable(listener->holder->socket, TimeoutSeconds(timeout))) {
    case WaitResult::kTimedOut:
      *code = accept_status::kNothingCame;
      return nullptr;
    case WaitResult::kFailed:
      *code = accept_status::kWaitFailed;
      return nullptr;
    case WaitResult::kReady:
      break;
  }
  return AcceptWaiting(listener, code);
}

std::unique_ptr<Connection> AcceptWaiting(Listener* listener, Status* code) {
  if (listener == nullptr) {
    *code = accept_status::kNoListener;
    return nullptr;
  }
  if (!listener->holder) {
    *code = accept_status::kWaitFailed;
    return nullptr;
  }
  // The new connection's holder (one library start-up) comes first.
  std::unique_ptr<SocketHolder> holder = MakeSocketHolder();
  if (!holder) {
    *code = accept_status::kWaitFailed;
    return nullptr;
  }
  // A failed accept still hands on a connection, whose first receive fails,
  // unless it failed for want of resources and the device is still queued.
  AcceptError error = AcceptError::kNone;
  holder->socket = AcceptTcp(listener->holder->socket, &error);
  if (error == AcceptError::kOutOfResources) {
    *code = accept_status::kOutOfResources;
    return nullptr;
  }
  if (error == AcceptError::kNothingWaiting) {
    *code = accept_status::kNothingCame;
    return nullptr;
  }
  *code = accept_status::kOk;
  return MakeConnection(std::move(holder));
}

const Socket* ListeningSocket(const Listener* listener) {
  if (listener == nullptr || !listener->holder) return nullptr;
  return &listener->holder->socket;
}

Status CloseListener(Listener* listener) {
  if (listener == nullptr) return 2;
  if (listener->holder) {
    ShutdownSend(listener->holder->socket);
    listener->holder.reset();
  }
  return 0;
}

Status FreeListener(std::unique_ptr<Listener> listener) { return listener ? 0 : 2; }

}  // namespace tarvex
