// Base64 (RFC 4648, standard alphabet) decoding, for the fields the search
// engine's query tool prints.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

// The decoded bytes; padding is optional. None for a character outside the
// alphabet, misplaced padding or a length no encoding has.
std::optional<std::string> DecodeBase64(std::string_view text);

}  // namespace tarvex
