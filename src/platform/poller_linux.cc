#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/poller.h"

namespace tarvex {
namespace {

// The wake-up descriptor's token; callers' tokens are passed in the event's
// 64-bit data, so this one is reserved by value.
constexpr std::uint64_t kWakeToken = ~std::uint64_t{0};

}  // namespace

Poller::Poller() {
  epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
  wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (epoll_ >= 0 && wake_ >= 0) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kWakeToken;
    if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event) != 0) {
      ::close(wake_);
      wake_ = -1;
    }
  }
}

Poller::~Poller() {
  if (wake_ >= 0) ::close(wake_);
  if (epoll_ >= 0) ::close(epoll_);
}

bool Poller::Add(const Socket& socket, std::uint64_t token) {
  if (!IsValid() || !socket.IsValid() || token == kWakeToken) return false;
  epoll_event event{};
  event.events = EPOLLIN | EPOLLRDHUP;
  event.data.u64 = token;
  return ::epoll_ctl(epoll_, EPOLL_CTL_ADD, socket.Descriptor(), &event) == 0;
}

void Poller::Remove(const Socket& socket) {
  if (!IsValid() || !socket.IsValid()) return;
  epoll_event unused{};
  ::epoll_ctl(epoll_, EPOLL_CTL_DEL, socket.Descriptor(), &unused);
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
    n = ::epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), ms);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return false;
  for (int i = 0; i < n; ++i) {
    if (events[static_cast<std::size_t>(i)].data.u64 == kWakeToken) {
      std::uint64_t count = 0;
      while (::read(wake_, &count, sizeof count) > 0) {
      }
      *woken = true;
    } else {
      ready->push_back(events[static_cast<std::size_t>(i)].data.u64);
    }
  }
  return true;
}

void Poller::Wake() {
  if (wake_ < 0) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
}

}  // namespace tarvex
