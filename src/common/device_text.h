// DeviceText: the one conversion between the handheld's texts and the
// desktop's. Handhelds send and expect text in their code page (by default
// Windows-1252); inside the program, in file names and in every stored file,
// texts are UTF-8. Conversions never lose a way back to a file:
//
// - From the device: ASCII and valid UTF-8 are taken as they are (a handheld
//   echoing a name it was given as UTF-8); anything else is read in the code
//   page; bytes that are not valid there either stay as they came.
// - To the device: a UTF-8 text goes out in the code page; a text the code
//   page cannot represent (Japanese under Windows-1252, say) or that is not
//   UTF-8 (a file name of raw bytes) goes out unchanged, so that a handheld
//   sending it back reaches the same file.
// - Looking up an existing file: the converted text first, then the raw
//   bytes, then (for UTF-8 input) the code-page reading.
//
// Not safe for concurrent use: each session and each login keeps its own.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text_codec.h"

namespace tarvex {

inline constexpr std::string_view kDefaultDeviceCharset = "WINDOWS-1252";

class DeviceText {
 public:
  // Over the named code page; over kDefaultDeviceCharset when that name is
  // not usable (UsesCharset tells).
  explicit DeviceText(std::string_view charset);

  const std::string& Charset() const { return charset_; }
  bool UsesCharset(std::string_view charset) const { return charset_ == charset; }

  std::string FromDevice(std::string_view bytes);
  std::string ToDevice(std::string_view text);
  // ToDevice in at most `limit` bytes: whole characters are dropped from the
  // end of the text until it fits.
  std::string ToDeviceCut(std::string_view text, std::size_t limit);
  // For texts the device only shows (search snippets): characters the code
  // page lacks become '?' rather than the whole text going out as UTF-8.
  // At most `limit` bytes.
  std::string ToDeviceForDisplay(std::string_view text, std::size_t limit);

  // The names under which a text from the device may stand on the desktop,
  // best first, without repeats.
  std::vector<std::string> IncomingCandidates(std::string_view bytes);
  // The names under which a stored (UTF-8) text may stand on the desktop:
  // itself, then its bytes in the code page.
  std::vector<std::string> StoredCandidates(std::string_view text);

  // A line of a stored file: UTF-8 as it is, otherwise read in the code page
  // (a file carried over from the original platform).
  std::string FromStoredLine(std::string_view line);

 private:
  std::string charset_;
  std::optional<TextCodec> codec_;
};

// Reads the lines of stored files, opening the code page only when a line
// is not UTF-8.
class StoredLineDecoder {
 public:
  explicit StoredLineDecoder(std::string_view charset) : charset_(charset) {}
  std::string operator()(std::string_view line);

 private:
  std::string charset_;
  std::optional<DeviceText> text_;
};

}  // namespace tarvex
