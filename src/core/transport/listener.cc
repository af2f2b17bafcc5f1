#include "core/transport/listener.h"

namespace tarvex {

std::unique_ptr<Listener> CreateListener() { return std::make_unique<Listener>(); }

Status Listen(Listener* listener, std::uint16_t port, int backlog, std::string_view address) {
  if (listener == nullptr) return 2;
  auto holder = std::make_unique<SocketHolder>();
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
  // A failed accept still hands on a connection, whose first receive fails,
  // unless it failed for want of resources and the device is still queued.
  bool out_of_resources = false;
  Socket accepted = AcceptTcp(listener->holder->socket, &out_of_resources);
  if (out_of_resources) {
    *code = accept_status::kOutOfResources;
    return nullptr;
  }
  *code = accept_status::kOk;
  return MakeConnection(std::move(accepted));
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
