// Connection: one device link. Before EnableCipher every send and receive is
// plain bytes; after it every send is one enciphered frame
//   [u16 10][u32 padded length P][u32 plain length n][P bytes ciphertext]
// and every receive draws from the deciphered byte stream, whatever the frame
// boundaries. A send of more than 32759 bytes, more than a frame can carry,
// goes out as several frames. A connection is used by one thread at a time.
//
// Time-outs are in tenths of a second; below 10 counts as 10, and the wait
// runs in whole seconds (the value divided by 10). A receive waits at most
// its time-out for each piece of the stream it reads, and never beyond the
// connection's receive deadline when one is set. A send gives up when the
// socket takes no byte for the connection's send time-out, so a peer that
// stops reading cannot hold the sending thread.
//
// Malformed input is refused before anything is allocated: a frame whose
// plain length exceeds its padded length, whose padded length is 0, not a
// multiple of 8, or 32768 or more; a block shorter than its own length field;
// a command block under 4 bytes; a login request under 35 bytes. Each reports
// a short receive (14 enciphered, 6 plain).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/cipher/blowfish.h"
#include "core/transport/status.h"
#include "platform/socket.h"

namespace tarvex {

// One socket, and one start-up of the socket library, which therefore stays
// started while any holder exists. The library is declared first, so it
// outlives the socket.
struct SocketHolder {
  SocketLibrary library;
  Socket socket;
};

// Makes a holder; none, with *code (when given) socket_status::kLibraryFailed,
// when the socket library could not be started.
std::unique_ptr<SocketHolder> MakeSocketHolder(Status* code = nullptr);

using SteadyTime = std::chrono::steady_clock::time_point;

// The bounds of one read of an enciphered link: it starts at the smaller
// and doubles while reads fill it.
inline constexpr std::size_t kMinReadAhead = 4 * 1024;
inline constexpr std::size_t kMaxReadAhead = 64 * 1024;

// The send time-out a connection starts with, in tenths (30 seconds).
inline constexpr int kDefaultSendTimeout = 300;

class Connection {
 public:
  explicit Connection(std::unique_ptr<SocketHolder> holder, std::string peer_address = {})
      : holder_(std::move(holder)), peer_address_(std::move(peer_address)) {}

  SocketHolder* Holder() const { return holder_.get(); }
  // The other end's address as the link was made ("192.168.1.23"), "" when
  // it could not be read.
  const std::string& PeerAddress() const { return peer_address_; }
  bool CipherOn() const { return schedule_ != nullptr; }
  int SendTimeout() const { return send_timeout_; }
  std::optional<SteadyTime> ReceiveDeadline() const { return receive_deadline_; }

 private:
  friend class FrameBatch;
  friend Status EnableCipher(Connection*, std::shared_ptr<const KeySchedule>);
  friend Status SetSendTimeout(Connection*, int);
  friend Status SetReceiveDeadline(Connection*, std::optional<SteadyTime>);
  friend Status SendBytes(Connection*, const char*, std::size_t);
  friend Status ReceiveBytes(Connection*, char*, std::size_t, int);
  friend class LoginReader;

  // Hands out up to n of the plain bytes pending; gives how many.
  std::size_t TakePending(char* destination, std::size_t n);

  std::unique_ptr<SocketHolder> holder_;
  std::string peer_address_;
  std::shared_ptr<const KeySchedule> schedule_;  // set when the cipher is on
  std::string pending_;                          // deciphered bytes, from read_position_
  std::string raw_;                              // read buffer of the cipher's receives
  std::size_t read_size_ = kMinReadAhead;        // bytes the next read may take
  std::string out_;                              // frame buffer of SendBytes
  std::size_t read_position_ = 0;
  std::uint32_t pending_count_ = 0;              // plain bytes not yet handed out
  int send_timeout_ = kDefaultSendTimeout;       // tenths
  std::optional<SteadyTime> receive_deadline_;
};

// Wraps a connected socket (the device side, or an accepted one), noting
// the peer's address. When no holder can be made (the socket library could
// not start) the connection has none, and every operation on it reports a
// missing holder.
std::unique_ptr<Connection> MakeConnection(Socket socket);
// Wraps the holder of a connected socket, noting the peer's address.
std::unique_ptr<Connection> MakeConnection(std::unique_ptr<SocketHolder> holder);

// Whole seconds a receive time-out in tenths waits.
int TimeoutSeconds(int tenths);

// Turns the cipher on with the shared link schedule for this key; an empty
// key does nothing. 2 for a missing connection.
Status EnableCipher(Connection* connection, std::string_view key);
// Turns the cipher on with a schedule of the caller's own (the device side,
// which must not replace the server's shared link schedule).
Status EnableCipher(Connection* connection, std::shared_ptr<const KeySchedule> schedule);

// Sets the send time-out in tenths (below 10 counts as 10, whole seconds).
// 2 for a missing connection.
Status SetSendTimeout(Connection* connection, int timeout);
// Until cleared (none), receives end at the deadline at the latest, whatever
// their own time-out; frames that arrive, empty ones included, do not move
// it. A receive still short then fails as a short receive. 2 for a missing
// connection.
Status SetReceiveDeadline(Connection* connection, std::optional<SteadyTime> deadline);

// A socket that takes no byte for the send time-out makes a failed send
// (12 enciphered, 4 plain), as does a broken link. A failed send may have
// cut a frame short, so it shuts the sending side down: every later send on
// the connection fails at once.
Status SendBytes(Connection* connection, const char* bytes, std::size_t n);
inline Status SendBytes(Connection* connection, std::string_view bytes) {
  return SendBytes(connection, bytes.data(), bytes.size());
}
// Sends the command header [u16 4][u16 code].
Status SendHeader(Connection* connection, std::uint16_t code);

// Delivers exactly n bytes. With the cipher on, each time it must read the
// socket it takes with one receive call every frame that has arrived (up to
// kMaxReadAhead bytes, completing the last one), deciphers them and keeps
// their bytes pending: a small request costs one wait and one receive, and a
// stream of many frames (a reply of many small items, or file content) few
// system calls. It never leaves part of a frame on the socket. On a failure
// nothing is handed out and the whole frames read stay pending.
Status ReceiveBytes(Connection* connection, char* destination, std::size_t n, int timeout);
// Receives one block, its two length bytes included, into *block.
Status ReceiveBlock(Connection* connection, std::string* block, int timeout);
// Receives one command header and gives its code.
Status ReceiveHeader(Connection* connection, std::uint16_t* code, int timeout);

struct LoginRequest {
  std::uint16_t service_id = 0;
  std::string login;     // at most 15 characters
  std::string password;  // at most 15 characters
};
Status ReceiveLogin(Connection* connection, LoginRequest* request, int timeout);
// Fills *request from a received login block (its length bytes included);
// false, leaving it alone, when the block is too short to hold the fields.
bool ParseLoginBlock(std::string_view block, LoginRequest* request);

inline bool IsEndSession(const Connection* connection, std::uint16_t code) {
  return connection != nullptr && code == 2;
}

// The largest plain length of one frame that a receiver accepts (its padded
// length must stay below 32768).
inline constexpr std::size_t kMaxFramePayload = 32759;

// Sends bytes already in the link's form (whole frames, frame.h, when the
// cipher is on) as they are; the codes of SendBytes. For FrameBatch.
Status SendFramed(Connection* connection, std::string_view bytes);

// Shuts down the sending side and closes the socket.
Status CloseConnection(Connection* connection);
// Frees the connection and its holder.
Status ReleaseConnection(std::unique_ptr<Connection> connection);

}  // namespace tarvex
