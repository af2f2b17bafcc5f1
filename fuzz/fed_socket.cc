#include "fed_socket.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "common/big_endian.h"
#include "core/cipher/blowfish.h"
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

// Enciphers the whole blocks at data with the fuzz link key. ECB enciphers
// each 8-byte block alone, and the inputs of a run share most of their
// blocks (the frames of one byte, the untouched parts of a mutated request),
// so a block once enciphered is looked up after that, in a table of fixed
// size: no allocation, which an input would leave behind as a leak.
void EncipherBlocks(char* data, std::size_t n) {
  struct Entry {
    std::uint64_t plain = 0;
    char cipher[8] = {};
    bool filled = false;
  };
  static const KeySchedule schedule = CreateKeySchedule(kFuzzLinkKey);
  static Entry table[1 << 16];
  for (std::size_t i = 0; i + 8 <= n; i += 8) {
    std::uint64_t plain = 0;
    std::memcpy(&plain, data + i, 8);
    Entry& entry = table[(plain * 0x9E3779B97F4A7C15ULL) >> 48];
    if (!entry.filled || entry.plain != plain) {
      std::uint32_t left = GetU32(data + i);
      std::uint32_t right = GetU32(data + i + 4);
      EncryptBlock(schedule, left, right);
      PutU32(entry.cipher, left);
      PutU32(entry.cipher + 4, right);
      entry.plain = plain;
      entry.filled = true;
    }
    std::memcpy(data + i, entry.cipher, 8);
  }
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
  const std::size_t at = SendWhatFits(static_cast<int>(peer_.Descriptor()), bytes_, 0);
  if (at == bytes_.size()) {
    ShutdownSend(peer_);
    return;
  }
  writer_ = std::thread([this, at] {
    std::size_t done = at;
    while (done < bytes_.size()) {
      const ssize_t sent = send(static_cast<int>(peer_.Descriptor()), bytes_.data() + done, bytes_.size() - done, MSG_NOSIGNAL);
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

std::string Frame(std::string_view plain, std::size_t chunk, bool empty_frames) {
  chunk = std::clamp<std::size_t>(chunk, 1, 32759);
  // Every frame is written in place in the stream, sized once: the target
  // frames each input anew, and a string per frame would cost more than the
  // session it feeds.
  auto padded = [](std::size_t size) { return (size & ~std::size_t{7}) + 8; };
  const std::size_t frames = (plain.size() + chunk - 1) / chunk;
  const std::size_t last = plain.size() - (frames == 0 ? 0 : (frames - 1) * chunk);
  std::size_t total = frames == 0 ? 0 : (frames - 1) * (10 + padded(chunk)) + 10 + padded(last);
  if (empty_frames) total += frames * (10 + padded(0));
  std::string stream(total, '\0');
  char* at = stream.data();
  auto add = [&](std::string_view piece) {
    const std::size_t size = padded(piece.size());
    PutU16(at, 10);
    PutU32(at + 2, static_cast<std::uint32_t>(size));
    PutU32(at + 6, static_cast<std::uint32_t>(piece.size()));
    if (!piece.empty()) std::memcpy(at + 10, piece.data(), piece.size());
    EncipherBlocks(at + 10, size);
    at += 10 + size;
  };
  while (!plain.empty()) {
    if (empty_frames) add({});
    add(plain.substr(0, chunk));
    plain.remove_prefix(std::min(chunk, plain.size()));
  }
  FuzzCheck(at == stream.data() + stream.size(), "the frames do not fill the stream");
  return stream;
}

}  // namespace tarvex::fuzz
