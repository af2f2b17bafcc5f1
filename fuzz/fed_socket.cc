#include "fed_socket.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/big_endian.h"
#include "fuzz_check.h"

namespace tarvex::fuzz {
namespace {

// Sends from `at` without blocking; gives where it stopped.
std::size_t SendWhatFits(int fd, const std::string& bytes, std::size_t at) {
  while (at < bytes.size()) {
    const ssize_t sent = send(fd, bytes.data() + at, bytes.size() - at, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent <= 0) break;
    at += static_cast<std::size_t>(sent);
  }
  return at;
}

}  // namespace

FedSocket::FedSocket(std::string bytes) : bytes_(std::move(bytes)) {
  int fds[2];
  FuzzCheck(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0, "socketpair failed");
  reader_ = Socket(fds[0]);
  peer_ = Socket(fds[1]);
  // Room for long replies, which nobody reads: a reply that does not fit
  // makes the reader's send wait out its time-out.
  const int room = 16 << 20;
  if (setsockopt(fds[0], SOL_SOCKET, SO_SNDBUFFORCE, &room, sizeof room) != 0) {
    setsockopt(fds[0], SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
  }
  const std::size_t at = SendWhatFits(peer_.Descriptor(), bytes_, 0);
  if (at == bytes_.size()) {
    ShutdownSend(peer_);
    return;
  }
  writer_ = std::thread([this, at] {
    std::size_t done = at;
    while (done < bytes_.size()) {
      const ssize_t sent = send(peer_.Descriptor(), bytes_.data() + done, bytes_.size() - done, MSG_NOSIGNAL);
      if (sent <= 0) break;  // the reader is gone
      done += static_cast<std::size_t>(sent);
    }
    ShutdownSend(peer_);
  });
}

FedSocket::~FedSocket() {
  // The reader's end is closed by now (or still here, and closed first), so
  // a writer blocked on a full socket fails at once.
  reader_.Close();
  if (writer_.joinable()) writer_.join();
}

const KeySchedule& FuzzLinkSchedule() {
  static const KeySchedule schedule = CreateKeySchedule(kFuzzLinkKey);
  return schedule;
}

std::string Frame(const KeySchedule& schedule, std::string_view plain, std::size_t chunk,
                  bool empty_frames) {
  chunk = std::clamp<std::size_t>(chunk, 1, 32759);
  std::string stream;
  auto add = [&](std::string_view piece) {
    const std::size_t padded = (piece.size() & ~std::size_t{7}) + 8;
    std::string frame(10 + padded, '\0');
    PutU16(frame.data(), 10);
    PutU32(frame.data() + 2, static_cast<std::uint32_t>(padded));
    PutU32(frame.data() + 6, static_cast<std::uint32_t>(piece.size()));
    if (!piece.empty()) std::memcpy(frame.data() + 10, piece.data(), piece.size());
    EncryptBuffer(schedule, frame.data() + 10, padded);
    stream += frame;
  };
  while (!plain.empty()) {
    if (empty_frames) add({});
    add(plain.substr(0, chunk));
    plain.remove_prefix(std::min(chunk, plain.size()));
  }
  return stream;
}

}  // namespace tarvex::fuzz
