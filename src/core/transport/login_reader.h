// LoginReader: assembles a device's login request on a keyed connection from
// whatever bytes have arrived, without ever waiting, so that one thread can
// hold many connections that have not finished their login.
//
// The login request is the first block of the deciphered stream; it may come
// in any number of frames, empty ones included. Its length field is read as
// soon as its two bytes are deciphered: a device's request is 36 bytes long,
// so a length outside 35..64 means the device keyed its link with another
// password (the field deciphered to noise), and the reader says so at once.
// The request is complete at the end of the frame that carries its last
// byte; plain bytes that frame carries beyond it are left pending on the
// connection for the session, which reads on from there.
//
// The reader never reads beyond the frame it is in, so nothing of the
// stream is lost when the connection is handed on. Malformed frames (see
// connection.h) fail the login. Used by one thread, like its connection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/transport/connection.h"

namespace tarvex {

// The lengths a login request's length field may decipher to.
inline constexpr std::uint16_t kShortestLoginBlock = 35;
inline constexpr std::uint16_t kLongestLoginBlock = 64;

class LoginReader {
 public:
  enum class Progress {
    kMore,      // nothing wrong so far; more bytes are needed
    kComplete,  // Request() holds the login request
    kWrongKey,  // the length field deciphered outside 35..64
    kFailed,    // the peer closed or failed the link, or sent a malformed frame
  };

  // Reads what has arrived on the (keyed) connection and goes as far as it
  // can. After a result other than kMore the reader is done.
  Progress ReadAvailable(Connection* connection);

  const LoginRequest& Request() const { return request_; }
  // A digest of every byte read from the wire: two logins with the same
  // digest were (almost certainly) sent byte for byte alike.
  std::uint64_t Digest() const { return digest_; }
  // True once any byte came.
  bool ReceivedAny() const { return received_any_; }

 private:
  // Takes in n raw bytes of the current frame; gives the result so far.
  Progress Consume(Connection* connection, const char* bytes, std::size_t n);
  Progress EndOfFrame(Connection* connection);

  char header_[10] = {};
  std::size_t header_have_ = 0;
  std::uint32_t padded_ = 0;     // of the current frame, once its header came
  std::uint32_t plain_ = 0;      // plain bytes of the current frame
  std::uint32_t body_done_ = 0;  // ciphertext bytes of the current frame taken in
  char cipher_block_[8] = {};
  std::size_t cipher_have_ = 0;
  std::string stream_;           // deciphered bytes of the stream so far
  std::size_t block_length_ = 0; // the request's length field, once read
  LoginRequest request_;
  std::uint64_t digest_ = 14695981039346656037ull;  // FNV-1a offset basis
  bool received_any_ = false;
};

}  // namespace tarvex
