#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/poller.h"
#include "platform/socket_native.h"

namespace tarvex {
namespace {

// The wake-up descriptor's token; callers' tokens are passed in the event's
// 64-bit data, so this one is reserved by value.
constexpr std::uint64_t kWakeToken = ~std::uint64_t{0};

}  // namespace

struct Poller::Impl {
  int epoll = -1;
  int wake = -1;  // an eventfd, registered with a token of its own

  ~Impl() {
    if (wake >= 0) ::close(wake);
    if (epoll >= 0) ::close(epoll);
  }
};

Poller::Poller() : impl_(std::make_unique<Impl>()) {
  int& epoll = impl_->epoll;
  int& wake = impl_->wake;
  epoll = ::epoll_create1(EPOLL_CLOEXEC);
  wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (epoll >= 0 && wake >= 0) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kWakeToken;
    if (::epoll_ctl(epoll, EPOLL_CTL_ADD, wake, &event) != 0) {
      ::close(wake);
      wake = -1;
    }
  }
}

Poller::~Poller() = default;

bool Poller::IsValid() const { return impl_->epoll >= 0 && impl_->wake >= 0; }

bool Poller::Add(const Socket& socket, std::uint64_t token) {
  if (!IsValid() || !socket.IsValid() || token == kWakeToken) return false;
  epoll_event event{};
  event.events = EPOLLIN | EPOLLRDHUP;
  event.data.u64 = token;
  return ::epoll_ctl(impl_->epoll, EPOLL_CTL_ADD, Native(socket), &event) == 0;
}

void Poller::Remove(const Socket& socket) {
  if (!IsValid() || !socket.IsValid()) return;
  epoll_event unused{};
  ::epoll_ctl(impl_->epoll, EPOLL_CTL_DEL, Native(socket), &unused);
}

bool Poller::Wait(std::chrono::milliseconds timeout, std::size_t most, std::vector<std::uint64_t>* ready,
                  bool* woken) {
  ready->clear();
  *woken = false;
  if (!IsValid()) return false;
  std::vector<epoll_event> events(std::clamp<std::size_t>(most, 1, 4096));
  const int ms = static_cast<int>(std::clamp<std::int64_t>(timeout.count(), 0, 60000));
  int n;
  do {
    n = ::epoll_wait(impl_->epoll, events.data(), static_cast<int>(events.size()), ms);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return false;
  for (int i = 0; i < n; ++i) {
    if (events[static_cast<std::size_t>(i)].data.u64 == kWakeToken) {
      std::uint64_t count = 0;
      while (::read(impl_->wake, &count, sizeof count) > 0) {
      }
      *woken = true;
    } else {
      ready->push_back(events[static_cast<std::size_t>(i)].data.u64);
    }
  }
  return true;
}

void Poller::Wake() {
  if (impl_->wake < 0) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(impl_->wake, &one, sizeof one);
}

}  // namespace tarvex
