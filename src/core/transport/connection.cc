#include "core/transport/connection.h"

#include <algorithm>
#include <cstring>

#include "common/big_endian.h"
#include "core/cipher/link_key.h"
#include "core/transport/frame.h"
#include "protocol/layouts.h"

namespace tarvex {
namespace {

// The byte count of one raw receive is a signed 16-bit quantity.
constexpr std::size_t kMaxRawReceive = 32767;

// Sends all n bytes. A call that fails, or a socket that takes no byte for
// `timeout` tenths, is a short send. It leaves the stream cut mid-frame, so
// the sending side is shut down: later sends on the link fail at once
// instead of waiting out the time-out again.
Status RawSend(const Socket& socket, const char* data, std::size_t n, int timeout) {
  const std::chrono::seconds patience(TimeoutSeconds(timeout));
  while (n > 0) {
    long sent = SendSomeWithin(socket, data, n, patience);
    if (sent <= 0) {
      ShutdownSend(socket);
      return socket_status::kShortSend;
    }
    data += sent;
    n -= static_cast<std::size_t>(sent);
  }
  return socket_status::kOk;
}

// The time left until the deadline, none once it has passed.
std::chrono::milliseconds TimeLeft(SteadyTime deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return std::max(left, std::chrono::milliseconds(0));
}

// Waits for readability until the deadline; bytes already waiting count
// even when it has passed.
bool ReadableBy(const Socket& socket, SteadyTime deadline) {
  return WaitReadable(socket, TimeLeft(deadline)) == WaitResult::kReady;
}

// Receives exactly n bytes by the deadline. Bytes already waiting are taken
// even when it has passed; a peer that closed the link ends the receive at
// once.
Status RawReceive(const Socket& socket, char* data, std::size_t n, SteadyTime deadline) {
  if (n > kMaxRawReceive) return socket_status::kShortReceive;
  std::size_t got = 0;
  while (got < n) {
    const long read = ReceiveSomeWithin(socket, data + got, n - got, TimeLeft(deadline));
    if (read <= 0) return socket_status::kShortReceive;
    got += static_cast<std::size_t>(read);
  }
  return socket_status::kOk;
}

// When a raw receive of this connection must be complete: its own time-out
// in whole seconds from now, or the connection's deadline if that is sooner.
SteadyTime ReceiveUntil(const Connection& connection, int timeout) {
  SteadyTime until = std::chrono::steady_clock::now() + std::chrono::seconds(TimeoutSeconds(timeout));
  if (std::optional<SteadyTime> deadline = connection.ReceiveDeadline()) until = std::min(until, *deadline);
  return until;
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

std::unique_ptr<SocketHolder> MakeSocketHolder(Status* code) {
  auto holder = std::make_unique<SocketHolder>();
  const bool started = holder->library.IsStarted();
  if (code != nullptr) *code = started ? socket_status::kOk : socket_status::kLibraryFailed;
  if (!started) return nullptr;
  return holder;
}

std::unique_ptr<Connection> MakeConnection(Socket socket) {
  std::unique_ptr<SocketHolder> holder = MakeSocketHolder();
  if (!holder) return std::make_unique<Connection>(nullptr, tarvex::PeerAddress(socket));
  holder->socket = std::move(socket);
  return MakeConnection(std::move(holder));
}

std::unique_ptr<Connection> MakeConnection(std::unique_ptr<SocketHolder> holder) {
  std::string peer = tarvex::PeerAddress(holder->socket);
  return std::make_unique<Connection>(std::move(holder), std::move(peer));
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

Status SetSendTimeout(Connection* connection, int timeout) {
  if (connection == nullptr) return message_status::kNoConnection;
  connection->send_timeout_ = timeout;
  return message_status::kOk;
}

Status SetReceiveDeadline(Connection* connection, std::optional<SteadyTime> deadline) {
  if (connection == nullptr) return message_status::kNoConnection;
  connection->receive_deadline_ = deadline;
  return message_status::kOk;
}

Status SendBytes(Connection* connection, const char* bytes, std::size_t n) {
  if (Status s = CheckUsable(connection)) return s;
  const Socket& socket = connection->holder_->socket;
  const int timeout = connection->send_timeout_;
  if (!connection->CipherOn()) return RawSend(socket, bytes, n, timeout);

  // Header and ciphertext of a frame go out in one send call. More bytes
  // than one frame can carry go out in several; the peer reads a stream.
  do {
    const std::size_t k = std::min(n, kMaxFramePayload);
    std::string& frame = connection->out_;
    frame.clear();
    const std::size_t payload = OpenFrame(&frame, k);
    if (k != 0) std::memcpy(frame.data() + payload, bytes, k);
    SealFrame(&frame, payload, k, *connection->schedule_);
    if (Status s = RawSend(socket, frame.data(), frame.size(), timeout)) return MapSocketStatus(s);
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
  if (!connection->CipherOn()) {
    return RawReceive(socket, destination, n, ReceiveUntil(*connection, timeout));
  }

  std::string& raw = connection->raw_;
  std::string& plain = connection->pending_;
  while (connection->pending_count_ < n) {
    // The bytes not yet handed out move to the front of the pending buffer
    // (few: this only happens when they do not cover the request), and
    // every frame read now is deciphered behind them.
    plain.erase(0, connection->read_position_);
    plain.resize(connection->pending_count_);
    connection->read_position_ = 0;
    // Whatever has arrived, with one call. The read buffer starts small (a
    // link of small requests, or one still logging in, costs little) and
    // grows while reads fill it (a stream of file content).
    std::size_t& room = connection->read_size_;
    if (raw.size() < room) raw.resize(room);
    if (!ReadableBy(socket, ReceiveUntil(*connection, timeout))) {
      return MapSocketStatus(socket_status::kShortReceive);
    }
    const long got = ReceiveSome(socket, raw.data(), room);
    if (got <= 0) return MapSocketStatus(socket_status::kShortReceive);
    std::size_t have = static_cast<std::size_t>(got);
    if (have == room) room = std::min(room * 2, kMaxReadAhead);
    // Decipher frame after frame in the read buffer; the last frame is
    // completed with exact receives.
    Status status = message_status::kOk;
    for (std::size_t at = 0; at < have && status == message_status::kOk;) {
      auto complete = [&](std::size_t needed) {
        if (have - at >= needed) return socket_status::kOk;
        if (raw.size() < at + needed) raw.resize(at + needed);
        const Status s =
            RawReceive(socket, raw.data() + have, at + needed - have, ReceiveUntil(*connection, timeout));
        if (s == socket_status::kOk) have = at + needed;
        return s;
      };
      status = MapSocketStatus(complete(kFrameHeaderLength));
      if (status != message_status::kOk) break;
      const std::uint32_t padded = GetU32(raw.data() + at + protocol::frame::kPaddedLength);
      const std::uint32_t length = GetU32(raw.data() + at + protocol::frame::kPlainLength);
      if (!IsAcceptableFrame(padded, length)) {
        status = MapSocketStatus(socket_status::kShortReceive);
        break;
      }
      status = MapSocketStatus(complete(kFrameHeaderLength + padded));
      if (status != message_status::kOk) break;
      char* body = raw.data() + at + kFrameHeaderLength;
      DecryptBuffer(*connection->schedule_, body, padded);
      plain.append(body, length);
      at += kFrameHeaderLength + padded;
    }
    connection->pending_count_ = static_cast<std::uint32_t>(plain.size());
    if (status != message_status::kOk) return status;
  }
  connection->TakePending(destination, n);
  return message_status::kOk;
}

std::size_t Connection::TakePending(char* destination, std::size_t n) {
  const std::size_t k = std::min<std::size_t>(n, pending_count_);
  if (k == 0) return 0;
  std::memcpy(destination, pending_.data() + read_position_, k);
  read_position_ += k;
  pending_count_ -= static_cast<std::uint32_t>(k);
  if (pending_count_ == 0) {
    pending_.clear();
    read_position_ = 0;
  }
  return k;
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

bool ParseLoginBlock(std::string_view block, LoginRequest* request) {
  namespace layout = protocol::login;
  // The last byte read lies just before the password field's last byte.
  if (block.size() < layout::kPassword + layout::kFieldRead) return false;
  // Each field is 16 bytes; only the first 15 are read, up to a zero byte.
  auto field = [block](std::size_t offset) {
    std::string_view bytes = block.substr(offset, layout::kFieldRead);
    return std::string(bytes.substr(0, bytes.find('\0')));
  };
  request->service_id = GetU16(block.data() + layout::kServiceId);
  request->login = field(layout::kLogin);
  request->password = field(layout::kPassword);
  return true;
}

Status ReceiveLogin(Connection* connection, LoginRequest* request, int timeout) {
  std::string block;
  if (Status s = ReceiveBlock(connection, &block, timeout)) return s;
  if (!ParseLoginBlock(block, request)) return ShortReceive(connection);
  return message_status::kOk;
}

Status SendFramed(Connection* connection, std::string_view bytes) {
  if (Status s = CheckUsable(connection)) return s;
  const Status sent = RawSend(connection->Holder()->socket, bytes.data(), bytes.size(), connection->SendTimeout());
  return connection->CipherOn() ? MapSocketStatus(sent) : sent;
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
