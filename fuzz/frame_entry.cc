// The frame layer: the input is [mode][op count k][k op bytes][stream].
//
// Mode bits 0-1 choose how the stream reaches the connection: 0 as plain
// bytes on a plain link; 1 as raw bytes on an enciphered link, so the frame
// headers themselves are fuzzed; 2 and 3 enciphered by the harness in frames
// of a size that bits 2-6 choose (bit 7 adds an empty frame before each), so
// the deciphered stream is the fuzzed one. Each op byte picks one receive
// (ReceiveHeader, ReceiveBlock, ReceiveBytes twice over, ReceiveLogin) and, for the byte receives, a length; the ops repeat until a
// receive fails. When the deciphered stream is known, every receive must
// hand out exactly the next bytes of it.
#include <algorithm>
#include <optional>
#include <string>

#include "common/big_endian.h"
#include "core/transport/connection.h"
#include "fed_socket.h"
#include "fuzz_check.h"
#include "fuzz_entries.h"
#include "protocol/layouts.h"

namespace tarvex::fuzz {
namespace {

constexpr int kMaxOps = 512;

// The plain stream as the receives must hand it out, when it is known.
class Expected {
 public:
  explicit Expected(std::optional<std::string_view> stream) : stream_(stream) {}

  // Takes the next n bytes, which must equal `got`.
  void Take(std::string_view got, const char* what) {
    if (!stream_) return;
    FuzzCheck(stream_->substr(at_, got.size()) == got, what);
    at_ += got.size();
  }
  // The next n bytes, when known.
  std::optional<std::string_view> Peek(std::size_t n) const {
    if (!stream_ || stream_->size() - at_ < n) return std::nullopt;
    return stream_->substr(at_, n);
  }
  void Skip(std::size_t n) { at_ += n; }

 private:
  std::optional<std::string_view> stream_;
  std::size_t at_ = 0;
};

// One receive; false once it failed.
bool RunOp(Connection* link, unsigned char op, Expected& expected) {
  constexpr int kTimeout = 0;  // the shortest wait; the stream ends anyway
  const std::size_t length = static_cast<std::size_t>(op / 5) * static_cast<std::size_t>(op / 5);
  switch (op % 5) {
    case 0: {
      std::uint16_t code = 0;
      const std::optional<std::string_view> next = expected.Peek(4);
      if (ReceiveHeader(link, &code, kTimeout) != 0) return false;
      FuzzCheck(next.has_value() || !expected.Peek(0), "a header came from beyond the stream");
      if (next) {
        const std::uint16_t size = GetU16(next->data());
        FuzzCheck(size >= 4 && code == GetU16(next->data() + 2), "header differs from the stream");
        expected.Skip(size);
      }
      return true;
    }
    case 1: {
      std::string block;
      if (ReceiveBlock(link, &block, kTimeout) != 0) return false;
      FuzzCheck(block.size() >= 2 && GetU16(block.data()) == block.size(), "block length differs");
      expected.Take(block, "block differs from the stream");
      return true;
    }
    case 2:
    case 3: {
      std::string bytes(length, '\0');
      if (ReceiveBytes(link, bytes.data(), length, kTimeout) != 0) return false;
      expected.Take(bytes, "received bytes differ from the stream");
      return true;
    }
    default: {
      LoginRequest login;
      const std::optional<std::string_view> next = expected.Peek(2);
      if (ReceiveLogin(link, &login, kTimeout) != 0) return false;
      FuzzCheck(login.login.size() <= 15 && login.password.size() <= 15, "login field too long");
      FuzzCheck(login.login.find('\0') == std::string::npos, "login field holds a zero byte");
      if (next) {
        const std::uint16_t size = GetU16(next->data());
        const std::optional<std::string_view> block = expected.Peek(size);
        FuzzCheck(block && size >= protocol::login::kLength - 1, "login block shorter than allowed");
        FuzzCheck(login.service_id == GetU16(block->data() + protocol::login::kServiceId),
                  "service id differs from the stream");
        expected.Skip(size);
      }
      return true;
    }
  }
}

}  // namespace

void FuzzFrame(std::string_view input) {
  if (input.size() < 2) return;
  const auto mode = static_cast<unsigned char>(input[0]);
  const std::size_t op_count = std::min<std::size_t>(static_cast<unsigned char>(input[1]) % 16 + 1,
                                                     input.size() - 2);
  const std::string_view ops = input.substr(2, op_count);
  const std::string_view stream = input.substr(2 + op_count);
  if (ops.empty()) return;

  const int kind = mode & 3;
  std::string wire(stream);
  if (kind >= 2) {
    const std::size_t selector = (mode >> 2) & 31;
    wire = Frame(stream, 1 + selector * selector * 32, (mode & 0x80) != 0);
  }
  FedSocket fed(std::move(wire));
  std::unique_ptr<Connection> link = MakeConnection(fed.TakeReader());
  if (kind != 0) EnableCipher(link.get(), kFuzzLinkKey);
  Expected expected(kind == 1 ? std::nullopt : std::optional<std::string_view>(stream));
  for (int i = 0; i < kMaxOps; ++i) {
    if (!RunOp(link.get(), static_cast<unsigned char>(ops[static_cast<std::size_t>(i) % ops.size()]), expected)) {
      break;
    }
  }
  CloseConnection(link.get());
}

}  // namespace tarvex::fuzz
