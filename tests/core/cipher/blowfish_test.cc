#include <gtest/gtest.h>

#include <random>
#include <string>

// BF_* is deprecated in OpenSSL 3 but is the independent reference here.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>

#include "core/cipher/blowfish.h"

namespace tarvex {
namespace {

// OpenSSL's Blowfish in ECB over whole blocks.
std::string OpenSslEcb(std::string_view key, std::string data, int mode) {
  BF_KEY bf;
  BF_set_key(&bf, static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(key.data()));
  auto* bytes = reinterpret_cast<unsigned char*>(data.data());
  for (std::size_t i = 0; i < data.size(); i += 8) BF_ecb_encrypt(bytes + i, bytes + i, &bf, mode);
  return data;
}

// One published vector anchors the cipher on its own; the comparisons with
// OpenSSL below cover every key length and every buffer length.
TEST(BlowfishTest, ReproducesAPublishedVector) {
  std::string block = "\x01\x23\x45\x67\x89\xAB\xCD\xEF";
  EncryptBuffer(CreateKeySchedule("\xFE\xDC\xBA\x98\x76\x54\x32\x10"), block.data(), block.size());
  EXPECT_EQ(block, "\x0A\xCE\xAB\x0F\xC6\xA0\xA2\x8D");
}

// Every key length the P-array can take, with bytes from the whole 0-255
// range (so bytes of 0x80 and above must count unsigned), and every buffer
// length up to 4 KiB (blocks go through the rounds several at a time, so
// each count of whole blocks beside a group matters, and a partial tail is
// enciphered zero-padded and cut back): both directions agree with OpenSSL.
TEST(BlowfishTest, AgreesWithOpenSslOnEveryKeyLengthAndEveryBufferLengthUpTo4KiB) {
  std::mt19937 random(20261207);
  auto random_bytes = [&](std::size_t n) {
    std::string out(n, '\0');
    for (char& c : out) c = static_cast<char>(random());
    return out;
  };
  for (std::size_t n = 0; n <= 4096; ++n) {
    const std::string key = random_bytes(1 + n % 72);
    const KeySchedule ks = CreateKeySchedule(key);
    const std::string plain = random_bytes(n);
    const std::string padded = plain + std::string((8 - n % 8) % 8, '\0');
    SCOPED_TRACE(::testing::Message() << "length " << n << ", key length " << key.size());
    std::string ours = plain;
    EncryptBuffer(ks, ours.data(), n);
    ASSERT_EQ(ours, OpenSslEcb(key, padded, BF_ENCRYPT).substr(0, n));
    ours = plain;
    DecryptBuffer(ks, ours.data(), n);
    ASSERT_EQ(ours, OpenSslEcb(key, padded, BF_DECRYPT).substr(0, n));
  }
}

}  // namespace
}  // namespace tarvex
