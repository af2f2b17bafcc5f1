// The parts of TextCodec that read the same over either platform's
// converters.
#include "platform/text_codec.h"

#include "platform/text_codec_native.h"

namespace tarvex {

bool KeepsAscii(TextCodec& codec) {
  std::string ascii("\0\t\n\r", 4);
  for (char c = ' '; c < 0x7f; ++c) {
    if (c != '\\' && c != '~') ascii += c;
  }
  return codec.ToUtf8(ascii) == ascii && codec.ToCharset(ascii) == ascii;
}

bool TextCodec::IsUsableCharset(std::string_view charset) { return Open(charset).has_value(); }

}  // namespace tarvex
