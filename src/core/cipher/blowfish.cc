#include "core/cipher/blowfish.h"

#include <bit>
#include <cstring>

#include "core/cipher/pi_tables.h"

namespace tarvex {
namespace {

inline std::uint32_t F(const KeySchedule& ks, std::uint32_t x) {
  return ((ks.s[0][x >> 24] + ks.s[1][(x >> 16) & 0xff]) ^ ks.s[2][(x >> 8) & 0xff]) +
         ks.s[3][x & 0xff];
}

// Halves are most significant byte first; loaded and stored as whole words
// so that the buffer loop costs one byte swap per half.
inline std::uint32_t LoadBig(const char* b) {
  std::uint32_t v;
  std::memcpy(&v, b, 4);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap32(v);
  return v;
}

inline void StoreBig(char* b, std::uint32_t v) {
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap32(v);
  std::memcpy(b, &v, 4);
}

// The P-array entry of round i (0 to 17): deciphering takes it in reverse.
template <bool kDecrypt>
inline std::uint32_t P(const KeySchedule& ks, int i) {
  return ks.p[kDecrypt ? 17 - i : i];
}

template <bool kDecrypt>
[[gnu::always_inline]] inline void OneBlock(const KeySchedule& ks, std::uint32_t& left,
                                            std::uint32_t& right) {
  std::uint32_t l = left;
  std::uint32_t r = right;
  for (int i = 0; i < 16; i += 2) {
    l ^= P<kDecrypt>(ks, i);
    r ^= F(ks, l) ^ P<kDecrypt>(ks, i + 1);
    l ^= F(ks, r);
  }
  left = r ^ P<kDecrypt>(ks, 17);
  right = l ^ P<kDecrypt>(ks, 16);
}

// Two independent blocks round by round, so that their rounds overlap in
// the pipeline (each block alone is one long chain of table look-ups).
template <bool kDecrypt>
[[gnu::always_inline]] inline void TwoBlocks(const KeySchedule& ks, std::uint32_t& left0,
                                             std::uint32_t& right0, std::uint32_t& left1,
                                             std::uint32_t& right1) {
  std::uint32_t l0 = left0, r0 = right0, l1 = left1, r1 = right1;
  for (int i = 0; i < 16; i += 2) {
    l0 ^= P<kDecrypt>(ks, i);
    l1 ^= P<kDecrypt>(ks, i);
    r0 ^= F(ks, l0) ^ P<kDecrypt>(ks, i + 1);
    r1 ^= F(ks, l1) ^ P<kDecrypt>(ks, i + 1);
    l0 ^= F(ks, r0);
    l1 ^= F(ks, r1);
  }
  left0 = r0 ^ P<kDecrypt>(ks, 17);
  right0 = l0 ^ P<kDecrypt>(ks, 16);
  left1 = r1 ^ P<kDecrypt>(ks, 17);
  right1 = l1 ^ P<kDecrypt>(ks, 16);
}

template <bool kDecrypt>
void ProcessBuffer(const KeySchedule& ks, char* data, std::size_t n) {
  const std::size_t whole = n & ~std::size_t{7};
  std::size_t i = 0;
  for (; i + 16 <= whole; i += 16) {
    std::uint32_t l0 = LoadBig(data + i), r0 = LoadBig(data + i + 4);
    std::uint32_t l1 = LoadBig(data + i + 8), r1 = LoadBig(data + i + 12);
    TwoBlocks<kDecrypt>(ks, l0, r0, l1, r1);
    StoreBig(data + i, l0);
    StoreBig(data + i + 4, r0);
    StoreBig(data + i + 8, l1);
    StoreBig(data + i + 12, r1);
  }
  // An odd last whole block, then a partial tail zero-padded to a block and
  // cut back.
  for (; i < n; i += 8) {
    char block[8] = {};
    const std::size_t length = n - i < 8 ? n - i : 8;
    std::memcpy(block, data + i, length);
    std::uint32_t l = LoadBig(block);
    std::uint32_t r = LoadBig(block + 4);
    OneBlock<kDecrypt>(ks, l, r);
    StoreBig(block, l);
    StoreBig(block + 4, r);
    std::memcpy(data + i, block, length);
  }
}

}  // namespace

void EncryptBlock(const KeySchedule& ks, std::uint32_t& left, std::uint32_t& right) {
  OneBlock<false>(ks, left, right);
}

void DecryptBlock(const KeySchedule& ks, std::uint32_t& left, std::uint32_t& right) {
  OneBlock<true>(ks, left, right);
}

KeySchedule CreateKeySchedule(std::string_view key) {
  KeySchedule ks;
  std::memcpy(ks.s, kInitialS, sizeof ks.s);
  const auto* k = reinterpret_cast<const unsigned char*>(key.data());
  const std::size_t length = key.size() > 32767 ? 32767 : key.size();
  std::size_t position = 0;
  for (int i = 0; i < 18; ++i) {
    std::uint32_t word = 0;
    for (int b = 0; b < 4; ++b) {
      std::uint32_t byte = 0;
      if (length != 0) {
        byte = k[position];
        if (++position == length) position = 0;
      }
      word = (word << 8) | byte;
    }
    ks.p[i] = kInitialP[i] ^ word;
  }
  std::uint32_t l = 0;
  std::uint32_t r = 0;
  for (int i = 0; i < 18; i += 2) {
    EncryptBlock(ks, l, r);
    ks.p[i] = l;
    ks.p[i + 1] = r;
  }
  for (auto& box : ks.s) {
    for (int i = 0; i < 256; i += 2) {
      EncryptBlock(ks, l, r);
      box[i] = l;
      box[i + 1] = r;
    }
  }
  return ks;
}

void EncryptBuffer(const KeySchedule& ks, char* data, std::size_t n) {
  ProcessBuffer<false>(ks, data, n);
}

void DecryptBuffer(const KeySchedule& ks, char* data, std::size_t n) {
  ProcessBuffer<true>(ks, data, n);
}

}  // namespace tarvex
