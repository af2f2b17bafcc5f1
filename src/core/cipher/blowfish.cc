#include "core/cipher/blowfish.h"

#include <cstring>

#include "core/cipher/pi_tables.h"

namespace tarvex {
namespace {

inline std::uint32_t F(const KeySchedule& ks, std::uint32_t x) {
  return ((ks.s[0][x >> 24] + ks.s[1][(x >> 16) & 0xff]) ^ ks.s[2][(x >> 8) & 0xff]) +
         ks.s[3][x & 0xff];
}

inline std::uint32_t LoadBig(const unsigned char* b) {
  return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) |
         (std::uint32_t{b[2]} << 8) | std::uint32_t{b[3]};
}

inline void StoreBig(unsigned char* b, std::uint32_t v) {
  b[0] = static_cast<unsigned char>(v >> 24);
  b[1] = static_cast<unsigned char>(v >> 16);
  b[2] = static_cast<unsigned char>(v >> 8);
  b[3] = static_cast<unsigned char>(v);
}

using BlockFunction = void (*)(const KeySchedule&, std::uint32_t&, std::uint32_t&);

template <BlockFunction Block>
void ProcessBuffer(const KeySchedule& ks, char* data, std::size_t n) {
  auto* bytes = reinterpret_cast<unsigned char*>(data);
  const std::size_t whole = n & ~std::size_t{7};
  for (std::size_t i = 0; i < whole; i += 8) {
    std::uint32_t l = LoadBig(bytes + i);
    std::uint32_t r = LoadBig(bytes + i + 4);
    Block(ks, l, r);
    StoreBig(bytes + i, l);
    StoreBig(bytes + i + 4, r);
  }
  const std::size_t tail = n - whole;
  if (tail != 0) {
    unsigned char block[8] = {};
    std::memcpy(block, bytes + whole, tail);
    std::uint32_t l = LoadBig(block);
    std::uint32_t r = LoadBig(block + 4);
    Block(ks, l, r);
    StoreBig(block, l);
    StoreBig(block + 4, r);
    std::memcpy(bytes + whole, block, tail);
  }
}

}  // namespace

void EncryptBlock(const KeySchedule& ks, std::uint32_t& left, std::uint32_t& right) {
  std::uint32_t l = left;
  std::uint32_t r = right;
  for (int i = 0; i < 16; i += 2) {
    l ^= ks.p[i];
    r ^= F(ks, l);
    r ^= ks.p[i + 1];
    l ^= F(ks, r);
  }
  left = r ^ ks.p[17];
  right = l ^ ks.p[16];
}

void DecryptBlock(const KeySchedule& ks, std::uint32_t& left, std::uint32_t& right) {
  std::uint32_t l = left;
  std::uint32_t r = right;
  for (int i = 17; i > 1; i -= 2) {
    l ^= ks.p[i];
    r ^= F(ks, l);
    r ^= ks.p[i - 1];
    l ^= F(ks, r);
  }
  left = r ^ ks.p[0];
  right = l ^ ks.p[1];
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
  ProcessBuffer<EncryptBlock>(ks, data, n);
}

void DecryptBuffer(const KeySchedule& ks, char* data, std::size_t n) {
  ProcessBuffer<DecryptBlock>(ks, data, n);
}

}  // namespace tarvex
