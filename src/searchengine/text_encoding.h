// Search texts in the engine's encoding. Devices send single-byte text; the
// search engine works in UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace tarvex {

// The text read as Windows-1252, in UTF-8. The five bytes that code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls
// of the same value.
std::string Windows1252ToUtf8(std::string_view text);

// The text itself when it is UTF-8, otherwise read as Windows-1252.
std::string AsUtf8(std::string_view text);

}  // namespace tarvex
