// The libFuzzer target of one fuzz entry, named by TARVEX_FUZZ_TARGET.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const tarvex::fuzz::FuzzEntry entry = tarvex::fuzz::FindFuzzEntry(TARVEX_FUZZ_TARGET);
  entry(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
