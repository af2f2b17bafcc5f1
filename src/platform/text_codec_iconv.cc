// TextCodec over the C library's iconv (glibc's converters on Linux).
#include "platform/text_codec.h"

#include <iconv.h>

#include <cerrno>

#include "common/utf8.h"
#include "platform/text_codec_native.h"

namespace tarvex {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// Sets the converter back to its initial shift state.
void Reset(iconv_t converter) { iconv(converter, nullptr, nullptr, nullptr, nullptr); }

// Converts all of `in`; none at the first byte sequence the converter
// refuses. With `stop_at` it instead stops there and tells where.
std::optional<std::string> Convert(iconv_t converter, std::string_view in, std::size_t* stop_at = nullptr) {
  Reset(converter);
  std::string out;
  char* in_next = const_cast<char*>(in.data());
  std::size_t in_left = in.size();
  char buffer[1024];
  for (;;) {
    char* out_next = buffer;
    std::size_t out_left = sizeof buffer;
    const std::size_t result = in_left == 0 ? iconv(converter, nullptr, nullptr, &out_next, &out_left)
                                            : iconv(converter, &in_next, &in_left, &out_next, &out_left);
    const int error = errno;
    out.append(buffer, static_cast<std::size_t>(out_next - buffer));
    if (result != static_cast<std::size_t>(-1)) {
      if (in_left == 0) {
        // Flush a pending shift sequence, then done.
        out_next = buffer;
        out_left = sizeof buffer;
        iconv(converter, nullptr, nullptr, &out_next, &out_left);
        out.append(buffer, static_cast<std::size_t>(out_next - buffer));
        return out;
      }
      continue;
    }
    if (error == E2BIG) continue;
    // EILSEQ or EINVAL (a sequence cut off at the end).
    if (stop_at == nullptr) return std::nullopt;
    *stop_at = in.size() - in_left;
    return out;
  }
}

}  // namespace

struct TextCodec::Converters {
  iconv_t to_utf8 = kNoConverter;
  iconv_t from_utf8 = kNoConverter;
  ~Converters() {
    if (to_utf8 != kNoConverter) iconv_close(to_utf8);
    if (from_utf8 != kNoConverter) iconv_close(from_utf8);
  }
};

TextCodec::TextCodec(std::unique_ptr<Converters> converters) : converters_(std::move(converters)) {}
TextCodec::TextCodec(TextCodec&&) noexcept = default;
TextCodec& TextCodec::operator=(TextCodec&&) noexcept = default;
TextCodec::~TextCodec() = default;

std::optional<TextCodec> TextCodec::Open(std::string_view charset) {
  const std::string name(charset);
  if (name.empty()) return std::nullopt;
  auto converters = std::make_unique<Converters>();
  converters->to_utf8 = iconv_open("UTF-8", name.c_str());
  converters->from_utf8 = iconv_open(name.c_str(), "UTF-8");
  if (converters->to_utf8 == kNoConverter || converters->from_utf8 == kNoConverter) return std::nullopt;
  TextCodec codec(std::move(converters));
  if (!KeepsAscii(codec)) return std::nullopt;
  return codec;
}

std::optional<std::string> TextCodec::ToUtf8(std::string_view bytes) {
  return Convert(converters_->to_utf8, bytes);
}

std::optional<std::string> TextCodec::ToCharset(std::string_view utf8) {
  if (!IsValidUtf8(utf8)) return std::nullopt;
  return Convert(converters_->from_utf8, utf8);
}

std::string TextCodec::ToCharsetLossy(std::string_view utf8) {
  std::string out;
  while (!utf8.empty()) {
    std::size_t stop = utf8.size();
    std::size_t* stop_at = &stop;
    // Invalid UTF-8 stops the converter as an unrepresentable character does.
    std::optional<std::string> part = Convert(converters_->from_utf8, utf8, stop_at);
    if (part) out += *part;
    if (stop >= utf8.size()) break;
    out += '?';
    utf8.remove_prefix(stop + LeadingCharacterLength(utf8.substr(stop)));
  }
  return out;
}

}  // namespace tarvex
