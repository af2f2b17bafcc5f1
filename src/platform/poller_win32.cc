// The poller on Windows: WSAPoll over the registered sockets, in order of
// registration, with the receiving end of a loopback TCP pair in front for
// Wake (Windows has no eventfd, and WSAPoll waits on sockets only).
#include <algorithm>
#include <cstdint>

#include "platform/poller.h"
#include "platform/socket_native.h"

namespace tarvex {
namespace {

constexpr std::chrono::seconds kPairTime(2);

// The local port of a socket's peer, 0 when it cannot be read.
std::uint16_t PeerPort(const Socket& socket) {
  sockaddr_in peer{};
  socklen_t len = sizeof peer;
  if (getpeername(Native(socket), reinterpret_cast<sockaddr*>(&peer), &len) != 0) return 0;
  return ntohs(peer.sin_port);
}

}  // namespace

struct Poller::Impl {
  SocketLibrary library;  // the pair and every wait need it; outlives them
  Socket wake_reader;
  Socket wake_writer;
  std::vector<WSAPOLLFD> watched;  // the wake reader first
  std::vector<std::uint64_t> tokens;  // beside `watched`
  std::size_t next = 0;  // where the next Wait begins to collect, so that none starves

  // Connects the wake pair over loopback, through a listener that lives only
  // as long as this; a stranger's connection that comes first is refused.
  bool MakeWakePair() {
    Socket listener = ListenTcp("127.0.0.1", 0, 4);
    if (!listener.IsValid()) return false;
    wake_writer = ConnectTcp("127.0.0.1", LocalPort(listener));
    if (!wake_writer.IsValid()) return false;
    for (int tries = 0; tries < 4; ++tries) {
      if (WaitReadable(listener, kPairTime) != WaitResult::kReady) return false;
      Socket accepted = AcceptTcp(listener);
      if (accepted.IsValid() && PeerPort(accepted) == LocalPort(wake_writer)) {
        wake_reader = std::move(accepted);
        return true;
      }
    }
    return false;
  }
};

Poller::Poller() : impl_(std::make_unique<Impl>()) {
  if (!impl_->library.IsStarted() || !impl_->MakeWakePair()) {
    impl_->wake_reader.Close();
    impl_->wake_writer.Close();
    return;
  }
  impl_->watched.push_back(WSAPOLLFD{Native(impl_->wake_reader), POLLRDNORM, 0});
  impl_->tokens.push_back(0);
}

Poller::~Poller() = default;

bool Poller::IsValid() const { return impl_->wake_reader.IsValid() && impl_->wake_writer.IsValid(); }

bool Poller::Add(const Socket& socket, std::uint64_t token) {
  if (!IsValid() || !socket.IsValid()) return false;
  const auto& watched = impl_->watched;
  const bool known = std::any_of(watched.begin(), watched.end(),
                                 [&](const WSAPOLLFD& entry) { return entry.fd == Native(socket); });
  if (known) return false;
  impl_->watched.push_back(WSAPOLLFD{Native(socket), POLLRDNORM, 0});
  impl_->tokens.push_back(token);
  return true;
}

void Poller::Remove(const Socket& socket) {
  if (!IsValid() || !socket.IsValid()) return;
  auto& watched = impl_->watched;
  for (std::size_t i = 1; i < watched.size(); ++i) {
    if (watched[i].fd == Native(socket)) {
      watched.erase(watched.begin() + static_cast<std::ptrdiff_t>(i));
      impl_->tokens.erase(impl_->tokens.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
  }
}

bool Poller::Wait(std::chrono::milliseconds timeout, std::size_t most, std::vector<std::uint64_t>* ready,
                  bool* woken) {
  ready->clear();
  *woken = false;
  if (!IsValid()) return false;
  auto& watched = impl_->watched;
  for (WSAPOLLFD& entry : watched) entry.revents = 0;
  const INT ms = static_cast<INT>(std::clamp<std::int64_t>(timeout.count(), 0, 60000));
  if (WSAPoll(watched.data(), static_cast<ULONG>(watched.size()), ms) < 0) return false;
  if (watched[0].revents != 0) {
    char drain[64];
    while (recv(Native(impl_->wake_reader), drain, sizeof drain, 0) > 0) {
    }
    *woken = true;
  }
  // Level-triggered: a socket left out now (beyond `most`) is ready again
  // next time, and collecting starts where this one stopped.
  const std::size_t count = watched.size() - 1;
  const std::size_t limit = std::max<std::size_t>(most, 1);
  std::size_t i = 0;
  for (; i < count && ready->size() < limit; ++i) {
    const std::size_t at = 1 + (impl_->next + i) % count;
    if (watched[at].revents != 0) ready->push_back(impl_->tokens[at]);
  }
  impl_->next = count == 0 ? 0 : (impl_->next + i) % count;
  return true;
}

void Poller::Wake() {
  if (!impl_->wake_writer.IsValid()) return;
  // Non-blocking: when the pair is full, a wake is pending anyway.
  const char one = 1;
  send(Native(impl_->wake_writer), &one, 1, 0);
}

}  // namespace tarvex
