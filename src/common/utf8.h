// UTF-8 helpers for the texts that cross into the search engine's world.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex {

// Appends the UTF-8 form of a code point (at most U+10FFFF).
void AppendUtf8(std::string& out, std::uint32_t code);

// True when the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing beyond U+10FFFF).
bool IsValidUtf8(std::string_view text);

}  // namespace tarvex
