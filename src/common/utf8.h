// UTF-8 helpers: the program's texts are UTF-8.
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

// The length of the character at the start of the text: its UTF-8 sequence,
// or 1 when the text does not begin with a valid one.
std::size_t LeadingCharacterLength(std::string_view text);

// The number of characters of a UTF-8 text; of bytes for any other text.
std::size_t CharacterCount(std::string_view text);

// The text cut to at most `limit` bytes, never inside a UTF-8 sequence.
std::string_view CutAtCharacter(std::string_view text, std::size_t limit);

}  // namespace tarvex
