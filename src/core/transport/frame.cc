#include "core/transport/frame.h"

#include <cstring>

#include "common/big_endian.h"

namespace tarvex {
namespace {

// The byte count of one raw receive is a signed 16-bit quantity.
constexpr std::uint32_t kMaxPadded = 32767;

std::size_t PaddedLength(std::size_t n) { return (n & ~std::size_t{7}) + 8; }

}  // namespace

std::size_t OpenFrame(std::string* out, std::size_t n) {
  const std::size_t start = out->size();
  out->resize(start + kFrameHeaderLength + PaddedLength(n));
  return start + kFrameHeaderLength;
}

void SealFrame(std::string* out, std::size_t payload, std::size_t n, const KeySchedule& schedule) {
  const std::size_t padded = PaddedLength(n);
  out->resize(payload + padded);
  std::memset(out->data() + payload + n, 0, padded - n);
  char* header = out->data() + payload - kFrameHeaderLength;
  PutU16(header, kFrameHeaderLength);
  PutU32(header + protocol::frame::kPaddedLength, static_cast<std::uint32_t>(padded));
  PutU32(header + protocol::frame::kPlainLength, static_cast<std::uint32_t>(n));
  EncryptBuffer(schedule, out->data() + payload, padded);
}

bool IsAcceptableFrame(std::uint32_t padded, std::uint32_t plain) {
  return padded != 0 && padded % 8 == 0 && padded <= kMaxPadded && plain <= padded;
}

}  // namespace tarvex
