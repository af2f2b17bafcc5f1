// What the text codec's files of this folder share: each platform's
// text_codec_*.cc opens a codec its own way, then checks it with
// text_codec_shared.cc.
#pragma once

#include "platform/text_codec.h"

namespace tarvex {

// Whether the codec carries the zero byte, the line breaks and the printable
// ASCII characters unchanged both ways; only the backslash and the tilde may
// differ, which Japanese and Korean code pages give to the yen or won sign
// and the overline.
bool KeepsAscii(TextCodec& codec);

}  // namespace tarvex
