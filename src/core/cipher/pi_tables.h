// The standard Blowfish initial tables (hexadecimal digits of pi).
#pragma once

#include <cstdint>

namespace tarvex {

extern const std::uint32_t kInitialP[18];
extern const std::uint32_t kInitialS[4][256];

}  // namespace tarvex
