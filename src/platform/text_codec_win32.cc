// TextCodec over Windows' own converters (MultiByteToWideChar and
// WideCharToMultiByte), the character set named as iconv names it and looked
// up as a code page number.
#include "platform/text_codec.h"

#include <windows.h>

#include <array>
#include <cstdlib>

#include "common/ascii.h"
#include "common/utf8.h"
#include "platform/text_codec_native.h"
#include "platform/wide_text_win32.h"

namespace tarvex {
namespace {

struct NamedCodePage {
  std::string_view name;  // upper case
  UINT code_page;
};

// The names the converter is known by besides "CP<n>", "WINDOWS-<n>" and
// "IBM<n>". Stateful encodings (ISO-2022-*, UTF-7) are left out: a codec
// here converts each text on its own.
constexpr std::array<NamedCodePage, 30> kNames = {{
    {"UTF-8", 65001},      {"UTF8", 65001},        {"ISO-8859-1", 28591}, {"LATIN1", 28591},
    {"ISO-8859-2", 28592}, {"ISO-8859-3", 28593},  {"ISO-8859-4", 28594}, {"ISO-8859-5", 28595},
    {"ISO-8859-6", 28596}, {"ISO-8859-7", 28597},  {"ISO-8859-8", 28598}, {"ISO-8859-9", 28599},
    {"ISO-8859-13", 28603}, {"ISO-8859-15", 28605}, {"SHIFT_JIS", 932},   {"SHIFT-JIS", 932},
    {"SJIS", 932},         {"MS_KANJI", 932},      {"EUC-JP", 20932},     {"GBK", 936},
    {"GB2312", 936},       {"EUC-CN", 936},        {"BIG5", 950},         {"BIG-5", 950},
    {"EUC-KR", 949},       {"UHC", 949},           {"KOI8-R", 20866},     {"KOI8-U", 21866},
    {"US-ASCII", 20127},   {"ASCII", 20127},
}};

// The code page a name stands for; 0 when none.
UINT CodePageOf(std::string_view charset) {
  const std::string name = ToUpperAscii(std::string(charset));
  for (const NamedCodePage& known : kNames) {
    if (known.name == name) return known.code_page;
  }
  for (std::string_view prefix : {"CP", "WINDOWS-", "IBM"}) {
    if (name.rfind(prefix, 0) != 0 || name.size() == prefix.size() || name.size() > prefix.size() + 5) continue;
    const std::string digits = name.substr(prefix.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos) return 0;
    const UINT code_page = static_cast<UINT>(std::strtoul(digits.c_str(), nullptr, 10));
    // The stateful ones, and the pseudo code pages of the current user.
    if (code_page < 37 || (code_page >= 50220 && code_page <= 50229) || code_page == 65000) return 0;
    return ::IsValidCodePage(code_page) ? code_page : 0;
  }
  return 0;
}

// The bytes in the code page as UTF-16; none when they are not valid there.
std::optional<std::wstring> Decode(UINT code_page, std::string_view bytes) {
  if (bytes.empty()) return std::wstring();
  const int length = static_cast<int>(bytes.size());
  const int needed = ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  if (::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), length, wide.data(), needed) != needed) {
    return std::nullopt;
  }
  // The Windows code pages' unassigned bytes come out as C1 controls; they
  // are no text of the code page.
  const bool windows_page = code_page == 874 || (code_page >= 1250 && code_page <= 1258);
  for (wchar_t c : wide) {
    if (windows_page && c >= 0x80 && c <= 0x9f) return std::nullopt;
  }
  return wide;
}

// UTF-16 in the code page; none when a character has no exact form there.
std::optional<std::string> Encode(UINT code_page, std::wstring_view wide) {
  if (wide.empty()) return std::string();
  const int length = static_cast<int>(wide.size());
  // UTF-8 refuses the best-fit flag and the default-character report.
  const bool utf8 = code_page == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL defaulted = FALSE;
  const int needed = ::WideCharToMultiByte(code_page, flags, wide.data(), length, nullptr, 0, nullptr,
                                           utf8 ? nullptr : &defaulted);
  if (needed <= 0 || defaulted) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  if (::WideCharToMultiByte(code_page, flags, wide.data(), length, bytes.data(), needed, nullptr,
                            utf8 ? nullptr : &defaulted) != needed ||
      defaulted) {
    return std::nullopt;
  }
  // A character the code page lacks may still come out as a lookalike; only
  // what reads back the same is exact.
  const std::optional<std::wstring> back = Decode(code_page, bytes);
  if (!back || std::wstring_view(*back) != wide) return std::nullopt;
  return bytes;
}

}  // namespace

struct TextCodec::Converters {
  UINT code_page = 0;
};

TextCodec::TextCodec(std::unique_ptr<Converters> converters) : converters_(std::move(converters)) {}
TextCodec::TextCodec(TextCodec&&) noexcept = default;
TextCodec& TextCodec::operator=(TextCodec&&) noexcept = default;
TextCodec::~TextCodec() = default;

std::optional<TextCodec> TextCodec::Open(std::string_view charset) {
  if (charset.empty() || charset.find('\0') != std::string_view::npos) return std::nullopt;
  auto converters = std::make_unique<Converters>();
  converters->code_page = CodePageOf(charset);
  if (converters->code_page == 0) return std::nullopt;
  TextCodec codec(std::move(converters));
  if (!KeepsAscii(codec)) return std::nullopt;
  return codec;
}

std::optional<std::string> TextCodec::ToUtf8(std::string_view bytes) {
  std::optional<std::wstring> wide = Decode(converters_->code_page, bytes);
  if (!wide) return std::nullopt;
  return FromWide(*wide);
}

std::optional<std::string> TextCodec::ToCharset(std::string_view utf8) {
  if (!IsValidUtf8(utf8)) return std::nullopt;
  return Encode(converters_->code_page, ToWide(utf8));
}

std::string TextCodec::ToCharsetLossy(std::string_view utf8) {
  if (std::optional<std::string> whole = ToCharset(utf8)) return *whole;
  std::string out;
  while (!utf8.empty()) {
    const std::size_t length = LeadingCharacterLength(utf8);
    std::optional<std::string> character = ToCharset(utf8.substr(0, length));
    out += character ? *character : std::string("?");
    utf8.remove_prefix(length);
  }
  return out;
}

}  // namespace tarvex
