#include <gtest/gtest.h>

#include <random>
#include <string>

// BF_* is deprecated in OpenSSL 3 but is the independent reference here.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>

#include "core/cipher/blowfish.h"
#include "core/cipher/link_key.h"

namespace tarvex {
namespace {

std::string FromHex(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return out;
}

// OpenSSL's Blowfish in ECB over whole blocks.
std::string OpenSslEcb(std::string_view key, std::string data, int mode) {
  BF_KEY bf;
  BF_set_key(&bf, static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(key.data()));
  auto* bytes = reinterpret_cast<unsigned char*>(data.data());
  for (std::size_t i = 0; i < data.size(); i += 8) BF_ecb_encrypt(bytes + i, bytes + i, &bf, mode);
  return data;
}

// One published vector anchors the cipher on its own; the comparison with
// OpenSSL below covers every key length.
TEST(BlowfishTest, ReproducesAPublishedVectorAndCutsAPartialTailShort) {
  std::string block = FromHex("0123456789ABCDEF");
  EncryptBuffer(CreateKeySchedule(FromHex("FEDCBA9876543210")), block.data(), block.size());
  EXPECT_EQ(block, FromHex("0ACEAB0FC6A0A28D"));
  // A tail of 5 bytes is enciphered zero-padded, and only its 5 bytes kept.
  const KeySchedule ks = CreateKeySchedule("buffer key");
  std::string part = "0123456789abc";
  std::string tail_block = part.substr(8) + std::string(3, '\0');
  EncryptBuffer(ks, part.data(), 13);
  EncryptBuffer(ks, tail_block.data(), 8);
  EXPECT_EQ(part.substr(8), tail_block.substr(0, 5));
}

// Every key length the P-array can take, bytes from the whole 0-255 range
// (so bytes of 0x80 and above must count unsigned), several blocks a key.
TEST(BlowfishTest, AgreesWithOpenSslOnRandomKeysAndBlocks) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> byte(0, 255);
  auto random_bytes = [&](std::size_t n) {
    std::string out(n, '\0');
    for (char& c : out) c = static_cast<char>(byte(random));
    return out;
  };
  for (std::size_t length = 1; length <= 72; ++length) {
    for (int round = 0; round < 4; ++round) {
      std::string key = random_bytes(length);
      if (round == 0) key[0] = '\x80';
      SCOPED_TRACE(::testing::Message() << "key length " << length << " round " << round);
      const KeySchedule ks = CreateKeySchedule(key);
      const std::string plain = random_bytes(72);  // an odd number of blocks

      std::string ours = plain;
      EncryptBuffer(ks, ours.data(), ours.size());
      ASSERT_EQ(ours, OpenSslEcb(key, plain, BF_ENCRYPT));
      std::string back = plain;
      DecryptBuffer(ks, back.data(), back.size());
      ASSERT_EQ(back, OpenSslEcb(key, plain, BF_DECRYPT));
      DecryptBuffer(ks, ours.data(), ours.size());
      ASSERT_EQ(ours, plain);
    }
  }
}

// Blocks go through the rounds several at a time: every buffer length from
// empty to 4 KiB, so each count of whole blocks beside a group and each
// partial tail, must agree with OpenSSL block by block (a tail as its
// zero-padded block, cut back).
TEST(BlowfishTest, AgreesWithOpenSslOnEveryBufferLengthUpTo4KiB) {
  std::mt19937 random(20261207);
  std::string data(4096 + 8, '\0');
  for (char& c : data) c = static_cast<char>(random());
  const std::string key = "every length";
  const KeySchedule ks = CreateKeySchedule(key);
  for (std::size_t n = 0; n <= 4096; ++n) {
    SCOPED_TRACE(::testing::Message() << "length " << n);
    std::string padded = data.substr(0, n) + std::string((8 - n % 8) % 8, '\0');
    for (int mode : {BF_ENCRYPT, BF_DECRYPT}) {
      std::string ours = data.substr(0, n);
      if (mode == BF_ENCRYPT) {
        EncryptBuffer(ks, ours.data(), n);
      } else {
        DecryptBuffer(ks, ours.data(), n);
      }
      ASSERT_EQ(ours, OpenSslEcb(key, padded, mode).substr(0, n));
    }
  }
}

TEST(LinkKeyTest, SharesOneSchedulePerKeyAndAPrefixIsAnotherKey) {
  auto first = GetLinkKeySchedule("alpha");
  EXPECT_EQ(GetLinkKeySchedule("alpha"), first);
  auto other = GetLinkKeySchedule("alphb");
  EXPECT_NE(other, first);
  EXPECT_NE(GetLinkKeySchedule("alph"), other);
  ReleaseLinkKeySchedule();
}

}  // namespace
}  // namespace tarvex
