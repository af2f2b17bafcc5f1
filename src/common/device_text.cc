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

// The offsets at which the text's characters end: UTF-8 sequences, and
// single bytes where the text is not UTF-8.
std::vector<std::size_t> CharacterEnds(std::string_view text) {
  std::vector<std::size_t> ends;
  std::size_t i = 0;
  while (i < text.size()) {
    i += LeadingCharacterLength(text.substr(i));
    ends.push_back(i);
  }
  return ends;
}

// convert(text), or when that is longer than `limit`, convert of the longest
// run of the text's first characters that fits, so that no character is
// split on the wire.
template <typename Convert>
std::string Fitted(std::string_view text, std::size_t limit, Convert convert) {
  std::string out = convert(text);
  if (out.size() <= limit) return out;
  const std::vector<std::size_t> ends = CharacterEnds(text);
  std::size_t fits = 0;                // characters known to fit
  std::size_t too_many = ends.size();  // characters known not to
  std::string best;
  while (too_many - fits > 1) {
    const std::size_t middle = fits + (too_many - fits) / 2;
    std::string candidate = convert(text.substr(0, ends[middle - 1]));
    if (candidate.size() <= limit) {
      fits = middle;
      best = std::move(candidate);
    } else {
      too_many = middle;
    }
  }
  return best;
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
  return Fitted(text, limit, [this](std::string_view part) { return ToDevice(part); });
}

std::string DeviceText::ToDeviceForDisplay(std::string_view text, std::size_t limit) {
  if (!codec_) return ToDeviceCut(text, limit);
  return Fitted(text, limit, [this](std::string_view part) {
    return IsAscii(part) ? std::string(part) : codec_->ToCharsetLossy(part);
  });
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
