// Blowfish over 64 KiB, ours against OpenSSL's with the same key and buffer,
// and the cost of building a key schedule.
#include <benchmark/benchmark.h>

#include <string>

// BF_* is deprecated in OpenSSL 3; it is the reference to beat here.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>

#include "core/cipher/blowfish.h"

namespace tarvex {
namespace {

constexpr std::string_view kKey = "bench password";
constexpr std::size_t kBufferSize = 64 * 1024;

std::string TestBuffer() {
  std::string buffer(kBufferSize, '\0');
  for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<char>(i * 131 + 7);
  return buffer;
}

void OursEncrypt(benchmark::State& state) {
  const KeySchedule ks = CreateKeySchedule(kKey);
  std::string buffer = TestBuffer();
  for (auto _ : state) {
    EncryptBuffer(ks, buffer.data(), buffer.size());
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
}

void OursDecrypt(benchmark::State& state) {
  const KeySchedule ks = CreateKeySchedule(kKey);
  std::string buffer = TestBuffer();
  for (auto _ : state) {
    DecryptBuffer(ks, buffer.data(), buffer.size());
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
}

template <int kMode>
void OpenSslEcb(benchmark::State& state) {
  BF_KEY key;
  BF_set_key(&key, static_cast<int>(kKey.size()), reinterpret_cast<const unsigned char*>(kKey.data()));
  std::string buffer = TestBuffer();
  auto* bytes = reinterpret_cast<unsigned char*>(buffer.data());
  for (auto _ : state) {
    for (std::size_t i = 0; i < kBufferSize; i += 8) BF_ecb_encrypt(bytes + i, bytes + i, &key, kMode);
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
}

void OursKeySchedule(benchmark::State& state) {
  for (auto _ : state) {
    KeySchedule ks = CreateKeySchedule(kKey);
    benchmark::DoNotOptimize(ks);
  }
}

void OpenSslKeySchedule(benchmark::State& state) {
  for (auto _ : state) {
    BF_KEY key;
    BF_set_key(&key, static_cast<int>(kKey.size()), reinterpret_cast<const unsigned char*>(kKey.data()));
    benchmark::DoNotOptimize(key);
  }
}

BENCHMARK(OursEncrypt)->Name("EncryptBuffer/ours/64KiB");
BENCHMARK(OpenSslEcb<BF_ENCRYPT>)->Name("EncryptBuffer/openssl/64KiB");
BENCHMARK(OursDecrypt)->Name("DecryptBuffer/ours/64KiB");
BENCHMARK(OpenSslEcb<BF_DECRYPT>)->Name("DecryptBuffer/openssl/64KiB");
BENCHMARK(OursKeySchedule)->Name("CreateKeySchedule/ours");
BENCHMARK(OpenSslKeySchedule)->Name("CreateKeySchedule/openssl");

}  // namespace
}  // namespace tarvex
