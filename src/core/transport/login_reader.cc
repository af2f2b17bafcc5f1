#include "core/transport/login_reader.h"

#include <algorithm>
#include <cstring>

#include "common/big_endian.h"
#include "protocol/layouts.h"

namespace tarvex {
namespace {

constexpr std::size_t kHeaderLength = protocol::frame::kHeaderLength;
// Receives per call, so that one busy device cannot keep the loop to itself.
constexpr int kReadsPerCall = 8;
constexpr std::size_t kChunk = 512;

}  // namespace

LoginReader::Progress LoginReader::ReadAvailable(Connection* connection) {
  if (connection == nullptr || connection->Holder() == nullptr || !connection->CipherOn()) {
    return Progress::kFailed;
  }
  const Socket& socket = connection->Holder()->socket;
  char chunk[kChunk];
  for (int reads = 0; reads < kReadsPerCall; ++reads) {
    // Never more than the rest of the current header or frame.
    const std::size_t want = header_have_ < kHeaderLength
                                 ? kHeaderLength - header_have_
                                 : std::min<std::size_t>(kChunk, padded_ - body_done_ - cipher_have_);
    const long got = ReceiveAvailable(socket, chunk, want);
    if (got == kNothingYet) return Progress::kMore;
    if (got <= 0) return Progress::kFailed;
    received_any_ = true;
    const Progress progress = Consume(connection, chunk, static_cast<std::size_t>(got));
    if (progress != Progress::kMore) return progress;
  }
  return Progress::kMore;
}

LoginReader::Progress LoginReader::Consume(Connection* connection, const char* bytes, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    digest_ = (digest_ ^ static_cast<unsigned char>(bytes[i])) * 1099511628211ull;
  }
  if (header_have_ < kHeaderLength) {
    std::memcpy(header_ + header_have_, bytes, n);  // n never exceeds what the header lacks
    header_have_ += n;
    if (header_have_ < kHeaderLength) return Progress::kMore;
    padded_ = GetU32(header_ + protocol::frame::kPaddedLength);
    plain_ = GetU32(header_ + protocol::frame::kPlainLength);
    if (padded_ == 0 || padded_ % 8 != 0 || padded_ > kMaxFramePayload + 8 || plain_ > padded_) {
      return Progress::kFailed;
    }
    body_done_ = 0;
    return Progress::kMore;
  }
  for (std::size_t i = 0; i < n; ++i) {
    cipher_block_[cipher_have_++] = bytes[i];
    if (cipher_have_ < sizeof cipher_block_) continue;
    // ECB: each 8-byte block deciphers on its own.
    DecryptBuffer(*connection->schedule_, cipher_block_, sizeof cipher_block_);
    const std::uint32_t offset = body_done_;
    body_done_ += sizeof cipher_block_;
    cipher_have_ = 0;
    if (offset < plain_) stream_.append(cipher_block_, std::min<std::uint32_t>(8, plain_ - offset));
    if (block_length_ == 0 && stream_.size() >= 2) {
      block_length_ = GetU16(stream_.data());
      if (block_length_ < kShortestLoginBlock || block_length_ > kLongestLoginBlock) return Progress::kWrongKey;
    }
  }
  if (body_done_ == padded_) return EndOfFrame(connection);
  return Progress::kMore;
}

LoginReader::Progress LoginReader::EndOfFrame(Connection* connection) {
  header_have_ = 0;
  if (block_length_ == 0 || stream_.size() < block_length_) return Progress::kMore;
  if (!ParseLoginBlock(std::string_view(stream_).substr(0, block_length_), &request_)) return Progress::kFailed;
  // The rest of the frame belongs to the session.
  connection->pending_ = stream_.substr(block_length_);
  connection->read_position_ = 0;
  connection->pending_count_ = static_cast<std::uint32_t>(connection->pending_.size());
  return Progress::kComplete;
}

}  // namespace tarvex
