// FuzzCheck: the oracle of the fuzz entries. A broken expectation is a
// finding: it prints what broke and aborts, so that libFuzzer saves the input
// and the regression runner fails.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace tarvex::fuzz {

inline void FuzzCheck(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

}  // namespace tarvex::fuzz
