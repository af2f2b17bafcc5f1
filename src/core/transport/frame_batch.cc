#include "core/transport/frame_batch.h"

#include <cstring>

#include "core/transport/frame.h"

namespace tarvex {

void FrameBatch::Add(std::string_view item) {
  // An empty item is still a frame of its own, as SendBytes sends it; a
  // longer one than a frame can carry takes several, as with SendBytes.
  do {
    const std::string_view piece = item.substr(0, kMaxFramePayload);
    Append(piece.size(), /*keep_empty=*/true, [piece](char* out, std::size_t) {
      if (!piece.empty()) std::memcpy(out, piece.data(), piece.size());
      return static_cast<long>(piece.size());
    });
    item.remove_prefix(piece.size());
  } while (!item.empty());
}

long FrameBatch::AddFrom(std::size_t n, const Fill& fill) {
  return Append(n, /*keep_empty=*/false, fill);
}

long FrameBatch::Append(std::size_t n, bool keep_empty, const Fill& fill) {
  if (status_ != 0) return -1;
  const std::size_t start = buffer_.size();
  const bool enciphered = connection_ != nullptr && connection_->CipherOn();
  const std::size_t payload = enciphered ? OpenFrame(&buffer_, n) : start;
  if (!enciphered) buffer_.resize(start + n);
  const long filled = fill(buffer_.data() + payload, n);
  if (filled < 0 || (filled == 0 && !keep_empty) || static_cast<std::size_t>(filled) > n) {
    buffer_.resize(start);
    return filled > 0 ? -1 : filled;  // more than asked for counts as a failure
  }
  const auto length = static_cast<std::size_t>(filled);
  if (enciphered) {
    SealFrame(&buffer_, payload, length, *connection_->schedule_);
  } else {
    buffer_.resize(start + length);
  }
  FlushWhenFull();
  return filled;
}

void FrameBatch::FlushWhenFull() {
  if (buffer_.size() >= kFlushSize) Flush();
}

Status FrameBatch::Flush() {
  if (status_ != 0 || buffer_.empty()) return status_;
  status_ = SendFramed(connection_, buffer_);
  buffer_.clear();
  return status_;
}

}  // namespace tarvex
