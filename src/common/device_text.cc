#include "common/device_text.h"

#include <algorithm>

#include "common/utf8.h"

namespace tarvex {
namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void AddOnce(std::vector<std::string>& list, std::string text) {
  if (std::find(list.begin(), list.end(), text) == list.end()) list.push_back(std::move(text));
}

// The text without its last UTF-8 character (its last byte when it does not
// end in one).
std::string_view DropLastCharacter(std::string_view text) {
  std::size_t end = text.size() - 1;
  std::size_t start = end;
  while (start > 0 && end - start < 3 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
  if (!IsValidUtf8(text.substr(start))) start = end;
  return text.substr(0, start);
}

}  // namespace

DeviceText::DeviceText(std::string_view charset) : charset_(charset), codec_(TextCodec::Open(charset)) {
  if (!codec_) {
    charset_ = std::string(kDefaultDeviceCharset);
    codec_ = TextCodec::Open(charset_);
  }
}

std::string DeviceText::FromDevice(std::string_view bytes) {
  if (IsAscii(bytes) || IsValidUtf8(bytes) || !codec_) return std::string(bytes);
  return codec_->ToUtf8(bytes).value_or(std::string(bytes));
}

std::string DeviceText::ToDevice(std::string_view text) {
  if (IsAscii(text) || !codec_) return std::string(text);
  return codec_->ToCharset(text).value_or(std::string(text));
}

std::string DeviceText::ToDeviceCut(std::string_view text, std::size_t limit) {
  std::string out = ToDevice(text);
  while (out.size() > limit) {
    // Cut the desktop's text, so that no character is split on the wire.
    text = DropLastCharacter(text.substr(0, std::min(text.size(), limit + 1)));
    out = ToDevice(text);
  }
  return out;
}

std::string DeviceText::ToDeviceForDisplay(std::string_view text, std::size_t limit) {
  if (!codec_) return ToDeviceCut(text, limit);
  std::string out = IsAscii(text) ? std::string(text) : codec_->ToCharsetLossy(text);
  while (out.size() > limit) {
    text = DropLastCharacter(text.substr(0, std::min(text.size(), limit + 1)));
    out = IsAscii(text) ? std::string(text) : codec_->ToCharsetLossy(text);
  }
  return out;
}

std::vector<std::string> DeviceText::IncomingCandidates(std::string_view bytes) {
  std::vector<std::string> candidates;
  AddOnce(candidates, FromDevice(bytes));
  AddOnce(candidates, std::string(bytes));
  if (codec_ && !IsAscii(bytes)) {
    if (std::optional<std::string> read = codec_->ToUtf8(bytes)) AddOnce(candidates, std::move(*read));
  }
  return candidates;
}

std::vector<std::string> DeviceText::StoredCandidates(std::string_view text) {
  std::vector<std::string> candidates{std::string(text)};
  AddOnce(candidates, ToDevice(text));
  return candidates;
}

std::string DeviceText::FromStoredLine(std::string_view line) {
  if (IsValidUtf8(line) || !codec_) return std::string(line);
  return codec_->ToUtf8(line).value_or(std::string(line));
}

std::string StoredLineDecoder::operator()(std::string_view line) {
  if (IsValidUtf8(line)) return std::string(line);
  if (!text_) text_.emplace(charset_);
  return text_->FromStoredLine(line);
}

}  // namespace tarvex
