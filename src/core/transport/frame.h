// The enciphered frame of the link, built in place in a buffer:
//   [u16 10][u32 padded length P][u32 plain length n][P bytes ciphertext]
// where P is n rounded up to the next multiple of 8 (a whole block more when
// n already is one) and the padding is zero. Used by the connection's sends
// and by FrameBatch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/cipher/blowfish.h"
#include "protocol/layouts.h"

namespace tarvex {

inline constexpr std::size_t kFrameHeaderLength = protocol::frame::kHeaderLength;

// Appends room for one frame of n plain bytes to *out (header, and padding
// that is zero) and gives the offset where its plain bytes go.
std::size_t OpenFrame(std::string* out, std::size_t n);

// Completes the last frame of *out, opened at `payload`, for the n plain
// bytes now written there: trims it, zeroes its padding, writes its header
// and enciphers it in place.
void SealFrame(std::string* out, std::size_t payload, std::size_t n, const KeySchedule& schedule);

// A frame header the receiver accepts: a padded length that is a whole
// number of cipher blocks below 32768, holding the plain length.
bool IsAcceptableFrame(std::uint32_t padded, std::uint32_t plain);

}  // namespace tarvex
