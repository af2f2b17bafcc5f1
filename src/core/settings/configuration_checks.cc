#include "core/settings/configuration_checks.h"

#include "common/ascii.h"
#include "common/join_texts.h"
#include "platform/text_codec.h"

namespace tarvex {

std::optional<std::string_view> CheckPortText(std::string_view port_text) {
  if (port_text.empty()) return kPortRequired;
  const std::int32_t port = ParseDecimal(port_text);
  if (port < 1 || port > 32767) return kInvalidPort;
  return std::nullopt;
}

std::optional<std::string_view> CheckLoginName(std::string_view login) {
  if (login.empty()) return kInvalidLogin;
  if (HoldsControlCharacter(login)) return kLoginHasControl;
  return std::nullopt;
}

std::optional<std::string_view> CheckPasswordLength(std::string_view password) {
  if (password.size() < 5) return kInvalidPassword;
  return std::nullopt;
}

std::optional<std::string_view> CheckDeviceCharset(std::string_view charset) {
  if (HoldsControlCharacter(charset) || !TextCodec::IsUsableCharset(charset)) return kUnknownCharset;
  return std::nullopt;
}

std::uint16_t PortFromText(std::string_view port_text) {
  return static_cast<std::uint16_t>(ParseDecimal(port_text));
}

std::optional<std::string> ParseIpAddress(std::string_view text) {
  std::string normal;
  for (int field = 0; field < 4; ++field) {
    if (field > 0) {
      if (text.empty() || text.front() != '.') return std::nullopt;
      text.remove_prefix(1);
      normal += '.';
    }
    std::size_t digits = 0;
    int value = 0;
    while (digits < text.size() && digits < 3 && text[digits] >= '0' && text[digits] <= '9') {
      value = value * 10 + (text[digits] - '0');
      ++digits;
    }
    if (digits == 0 || value > 255) return std::nullopt;
    text.remove_prefix(digits);
    normal += std::to_string(value);
  }
  if (!text.empty()) return std::nullopt;
  return normal;
}

std::optional<std::string> FolderWithSeparator(std::string_view folder) {
  if (folder.empty()) return std::nullopt;
  return WithTrailingSeparator(std::string(folder));
}

}  // namespace tarvex
