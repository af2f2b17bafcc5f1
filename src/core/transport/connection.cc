#include "core/transport/connection.h"

#include <algorithm>
#include <cstring>

#include "common/big_endian.h"
#include "core/cipher/link_key.h"
#include "protocol/layouts.h"

namespace tarvex {
namespace {

constexpr std::size_t kFrameHeaderLength = 10;
// The byte count of one raw receive is a signed 16-bit quantity.
constexpr std::size_t kMaxRawReceive = 32767;
// The most plain bytes one frame carries: its padded length (always above
// the plain length) must stay a receivable count.
constexpr std::size_t kMaxFramePlain = (kMaxRawReceive & ~std::size_t{7}) - 1;

// Sends all n bytes; a call that sends nothing or fails is a short send.
Status RawSend(const Socket& socket, const char* data, std::size_t n) {
  while (n > 0) {
    long sent = SendSome(socket, data, n);
    if (sent <= 0) return socket_status::kShortSend;
    data += sent;
    n -= static_cast<std::size_t>(sent);
  }
  return socket_status::kOk;
}

// Receives exactly n bytes within the time-out budget of whole seconds.
// A peer that closed the link ends the receive at once.
Status RawReceive(const Socket& socket, char* data, std::size_t n, int timeout) {
  if (n > kMaxRawReceive) return socket_status::kShortReceive;
  std::int64_t budget = TimeoutSeconds(timeout);
  std::int64_t last = MonotonicSeconds();
  std::size_t got = 0;
  while (got < n) {
    WaitResult wait = WaitReadable(socket, static_cast<int>(budget));
    if (wait != WaitResult::kReady) return socket_status::kShortReceive;
    long read = ReceiveSome(socket, data + got, n - got);
    if (read <= 0) return socket_status::kShortReceive;
    got += static_cast<std::size_t>(read);
    if (got == n) break;
    std::int64_t now = MonotonicSeconds();
    if (now - last >= budget) return socket_status::kShortReceive;
    budget -= now - last;
    last = now;
  }
  return socket_status::kOk;
}

Status ShortReceive(const Connection* connection) {
  return connection->CipherOn() ? message_status::kReceiveFailed : socket_status::kShortReceive;
}

Status CheckUsable(const Connection* connection) {
  if (connection == nullptr) return message_status::kNoConnection;
  if (connection->Holder() == nullptr) return message_status::kNoHolder;
  return message_status::kOk;
}

}  // namespace

std::unique_ptr<Connection> MakeConnection(Socket socket) {
  auto holder = std::make_unique<SocketHolder>();
  holder->socket = std::move(socket);
  return std::make_unique<Connection>(std::move(holder));
}

int TimeoutSeconds(int tenths) { return std::max(tenths, 10) / 10; }

Status EnableCipher(Connection* connection, std::string_view key) {
  if (connection == nullptr) return message_status::kNoConnection;
  if (key.empty()) return message_status::kOk;
  return EnableCipher(connection, GetLinkKeySchedule(key));
}

Status EnableCipher(Connection* connection, std::shared_ptr<const KeySchedule> schedule) {
  if (connection == nullptr) return message_status::kNoConnection;
  connection->schedule_ = std::move(schedule);
  return message_status::kOk;
}

Status SendBytes(Connection* connection, const char* bytes, std::size_t n) {
  if (Status s = CheckUsable(connection)) return s;
  const Socket& socket = connection->holder_->socket;
  if (!connection->CipherOn()) return RawSend(socket, bytes, n);

  // Header and ciphertext of a frame go out in one send call. More bytes
  // than one frame can carry go out in several; the peer reads a stream.
  do {
    const std::size_t k = std::min(n, kMaxFramePlain);
    const std::size_t padded = (k & ~std::size_t{7}) + 8;
    std::string frame(kFrameHeaderLength + padded, '\0');
    PutU16(frame.data(), kFrameHeaderLength);
    PutU32(frame.data() + 2, static_cast<std::uint32_t>(padded));
    PutU32(frame.data() + 6, static_cast<std::uint32_t>(k));
    if (k != 0) std::memcpy(frame.data() + kFrameHeaderLength, bytes, k);
    EncryptBuffer(*connection->schedule_, frame.data() + kFrameHeaderLength, padded);
    if (Status s = RawSend(socket, frame.data(), frame.size())) return MapSocketStatus(s);
    bytes += k;
    n -= k;
  } while (n > 0);
  return message_status::kOk;
}

Status SendHeader(Connection* connection, std::uint16_t code) {
  char header[4];
  PutU16(header, 4);
  PutU16(header + 2, code);
  return SendBytes(connection, header, sizeof header);
}

Status ReceiveBytes(Connection* connection, char* destination, std::size_t n, int timeout) {
  if (Status s = CheckUsable(connection)) return s;
  const Socket& socket = connection->holder_->socket;
  if (!connection->CipherOn()) return RawReceive(socket, destination, n, timeout);

  std::size_t done = 0;
  for (;;) {
    if (connection->pending_count_ > 0) {
      std::size_t k = std::min<std::size_t>(n - done, connection->pending_count_);
      std::memcpy(destination + done, connection->pending_.data() + connection->read_position_, k);
      connection->read_position_ += k;
      connection->pending_count_ -= static_cast<std::uint32_t>(k);
      done += k;
      if (connection->pending_count_ == 0) {
        connection->pending_.clear();
        connection->read_position_ = 0;
      }
    }
    if (done == n) return message_status::kOk;

    char header[kFrameHeaderLength];
    Status s = RawReceive(socket, header, sizeof header, timeout);
    if (s != socket_status::kOk) return MapSocketStatus(s);
    const std::uint32_t padded = GetU32(header + 2);
    const std::uint32_t plain = GetU32(header + 6);
    if (padded == 0 || padded % 8 != 0 || padded > kMaxRawReceive || plain > padded) {
      return MapSocketStatus(socket_status::kShortReceive);
    }
    std::string frame(padded, '\0');
    s = RawReceive(socket, frame.data(), padded, timeout);
    if (s != socket_status::kOk) return MapSocketStatus(s);
    DecryptBuffer(*connection->schedule_, frame.data(), padded);
    connection->pending_ = std::move(frame);
    connection->read_position_ = 0;
    connection->pending_count_ = plain;
  }
}

Status ReceiveBlock(Connection* connection, std::string* block, int timeout) {
  char length_bytes[2];
  if (Status s = ReceiveBytes(connection, length_bytes, 2, timeout)) return s;
  const std::uint16_t length = GetU16(length_bytes);
  if (length < 2) return ShortReceive(connection);
  std::string received(length, '\0');
  std::memcpy(received.data(), length_bytes, 2);
  if (Status s = ReceiveBytes(connection, received.data() + 2, length - 2u, timeout)) return s;
  *block = std::move(received);
  return message_status::kOk;
}

Status ReceiveHeader(Connection* connection, std::uint16_t* code, int timeout) {
  std::string block;
  if (Status s = ReceiveBlock(connection, &block, timeout)) return s;
  if (block.size() < 4) return ShortReceive(connection);
  *code = GetU16(block.data() + 2);
  return message_status::kOk;
}

Status ReceiveLogin(Connection* connection, LoginRequest* request, int timeout) {
  std::string block;
  if (Status s = ReceiveBlock(connection, &block, timeout)) return s;
  namespace layout = protocol::login;
  // The last byte read lies just before the password field's last byte.
  if (block.size() < layout::kPassword + layout::kFieldRead) return ShortReceive(connection);
  // Each field is 16 bytes; only the first 15 are read, up to a zero byte.
  auto field = [&block](std::size_t offset) {
    std::string_view bytes(block.data() + offset, layout::kFieldRead);
    return std::string(bytes.substr(0, bytes.find('\0')));
  };
  request->service_id = GetU16(block.data() + layout::kServiceId);
  request->login = field(layout::kLogin);
  request->password = field(layout::kPassword);
  return message_status::kOk;
}

Status CloseConnection(Connection* connection) {
  if (Status s = CheckUsable(connection)) return s;
  Socket& socket = connection->Holder()->socket;
  ShutdownSend(socket);
  socket.Close();
  return message_status::kOk;
}

Status ReleaseConnection(std::unique_ptr<Connection> connection) {
  return connection ? message_status::kOk : message_status::kNoConnection;
}

}  // namespace tarvex
