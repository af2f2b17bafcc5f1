// TextCodec: converts texts between a named character set (any name the
// platform's converter knows, such as "WINDOWS-1252" or "SHIFT_JIS": iconv's
// on Linux; on Windows the code page of "CP<n>", "WINDOWS-<n>", "IBM<n>" and
// of the usual iconv names of the ISO-8859, Japanese, Chinese, Korean and
// KOI8 sets) and UTF-8, the encoding of every text inside the program.
//
// Only character sets that carry ASCII unchanged are accepted (the wire's
// separators, digits and zero terminators must keep their bytes), except for
// the backslash and the tilde, which Japanese and Korean code pages such as
// SHIFT_JIS give to the yen or won sign and the overline. Conversions
// are exact or fail; nothing is substituted except by ToCharsetLossy. A codec
// keeps conversion state: one thread at a time (each session has its own).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

class TextCodec {
 public:
  // A codec for the character set, or none when the platform does not know
  // it or it does not carry ASCII unchanged.
  static std::optional<TextCodec> Open(std::string_view charset);
  // Whether Open would give a codec.
  static bool IsUsableCharset(std::string_view charset);

  TextCodec(TextCodec&&) noexcept;
  TextCodec& operator=(TextCodec&&) noexcept;
  ~TextCodec();

  // The bytes read in the character set, as UTF-8; none when they are not a
  // valid text of the character set.
  std::optional<std::string> ToUtf8(std::string_view bytes);
  // A UTF-8 text in the character set; none when it is not valid UTF-8 or
  // holds a character the set cannot represent.
  std::optional<std::string> ToCharset(std::string_view utf8);
  // The same, with '?' for each character that cannot be represented (and
  // for each byte that is not UTF-8): for texts that are only read.
  std::string ToCharsetLossy(std::string_view utf8);

 private:
  struct Converters;
  explicit TextCodec(std::unique_ptr<Converters> converters);

  std::unique_ptr<Converters> converters_;
};

}  // namespace tarvex
