// Blowfish (64-bit block, 16 rounds) in ECB mode, as used for every link frame
// and for the stored password.
//
// A KeySchedule is plain data; it is safe to read from many threads at once.
// Blocks are two 32-bit halves; in byte buffers, bytes 0-3 of a block form the
// left half and bytes 4-7 the right half, each most significant byte first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarvex {

struct KeySchedule {
  std::uint32_t p[18];
  std::uint32_t s[4][256];
};

// The fixed key of the settings cipher (the stored password).
inline constexpr std::string_view kSettingsKey = "Relay quiet";

// The published key expansion. Keys of any length from 1 byte work (bytes
// beyond the 72nd never reach the P-array); an empty key is treated as the
// P-array without key material. Keys are limited to 32767 bytes.
KeySchedule CreateKeySchedule(std::string_view key);

void EncryptBlock(const KeySchedule& ks, std::uint32_t& left, std::uint32_t& right);
void DecryptBlock(const KeySchedule& ks, std::uint32_t& left, std::uint32_t& right);

// In-place ECB over n bytes. Whole blocks are processed in place; a trailing
// partial block is zero-padded to 8 bytes, processed, and cut back to its n
// mod 8 bytes (so such a tail cannot be deciphered again).
void EncryptBuffer(const KeySchedule& ks, char* data, std::size_t n);
void DecryptBuffer(const KeySchedule& ks, char* data, std::size_t n);

}  // namespace tarvex
