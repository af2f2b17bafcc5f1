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

// Blocks of ECB are independent: kBlocks of them go through the rounds side
// by side, so that their table look-ups overlap in the pipeline (one block
// alone is a single long chain of dependent look-ups and leaves the core
// waiting on load latency). Eight blocks keep both load ports busy; the
// halves stay in registers or the nearest cache line.
constexpr int kBlocks = 8;

template <bool kDecrypt>
[[gnu::always_inline]] inline void ManyBlocks(const KeySchedule& ks, char* data) {
  std::uint32_t l[kBlocks];
  std::uint32_t r[kBlocks];
#pragma GCC unroll 8
  for (int b = 0; b < kBlocks; ++b) {
    l[b] = LoadBig(data + 8 * b);
    r[b] = LoadBig(data + 8 * b + 4);
  }
#pragma GCC unroll 8
  for (int i = 0; i < 16; i += 2) {
    const std::uint32_t p0 = P<kDecrypt>(ks, i);
    const std::uint32_t p1 = P<kDecrypt>(ks, i + 1);
#pragma GCC unroll 8
    for (int b = 0; b < kBlocks; ++b) l[b] ^= p0;
#pragma GCC unroll 8
    for (int b = 0; b < kBlocks; ++b) r[b] ^= F(ks, l[b]) ^ p1;
#pragma GCC unroll 8
    for (int b = 0; b < kBlocks; ++b) l[b] ^= F(ks, r[b]);
  }
#pragma GCC unroll 8
  for (int b = 0; b < kBlocks; ++b) {
    StoreBig(data + 8 * b, r[b] ^ P<kDecrypt>(ks, 17));
    StoreBig(data + 8 * b + 4, l[b] ^ P<kDecrypt>(ks, 16));
  }
}

template <bool kDecrypt>
void ProcessBuffer(const KeySchedule& ks, char* data, std::size_t n) {
  constexpr std::size_t kRun = 8 * kBlocks;
  std::size_t i = 0;
  for (; i + kRun <= n; i += kRun) ManyBlocks<kDecrypt>(ks, data + i);
  // The last whole blocks one by one, then a partial tail zero-padded to a
  // block and cut back.
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
