#include "core/settings/configuration_checks.h"

#include <cstdint>

#include "common/ascii.h"
#include "core/settings/server_settings.h"
#include "platform/file_info.h"
#include "platform/path.h"
#include "platform/text_codec.h"

namespace tarvex {

namespace {

std::optional<std::string_view> PortProblem(std::string_view port_text) {
  if (port_text.empty()) return kPortRequired;
  if (port_text.find_first_not_of("0123456789") != std::string_view::npos) return kInvalidPort;
  const std::int32_t port = ParseDecimal(port_text);
  if (port < 1 || port > 32767) return kInvalidPort;
  return std::nullopt;
}

std::optional<std::string_view> LoginProblem(std::string_view login) {
  if (login.empty()) return kInvalidLogin;
  if (HoldsControlCharacter(login)) return kLoginHasControl;
  return std::nullopt;
}

std::optional<std::string_view> PasswordProblem(const SettingsChange& change) {
  const std::string& password = *change.password;
  if (password.size() < 5) return kInvalidPassword;
  if (change.password_again && *change.password_again != password) return kPasswordsDiffer;
  if (!ServerSettings::CanStorePassword(password)) return kPasswordNotStorable;
  return std::nullopt;
}

std::optional<std::string> DataDirProblem(std::string_view data_dir) {
  const std::optional<std::string> folder = FolderWithSeparator(data_dir);
  if (!folder) return std::string(kInvalidDirectory);
  if (!StatPath(*folder).is_directory) return "the data directory " + *folder + " does not exist";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> FirstProblem(const SettingsChange& change) {
  std::optional<std::string_view> problem;
  if (change.port) problem = PortProblem(*change.port);
  if (!problem && change.login) problem = LoginProblem(*change.login);
  if (!problem && change.password) problem = PasswordProblem(change);
  if (!problem && change.charset &&
      (HoldsControlCharacter(*change.charset) || !TextCodec::IsUsableCharset(*change.charset))) {
    problem = kUnknownCharset;
  }
  if (problem) return std::string(*problem);
  if (change.data_dir) {
    if (std::optional<std::string> folder_problem = DataDirProblem(*change.data_dir)) return folder_problem;
  }
  if (change.root_dir && change.root_dir->empty()) return std::string(kInvalidDirectory);
  return std::nullopt;
}

int ApplySettingsChange(const SettingsChange& change, ServerSettings& settings) {
  if (change.port) settings.SetPort(static_cast<std::uint16_t>(ParseDecimal(*change.port)));
  if (change.login) settings.SetLogin(*change.login);
  if (change.password) settings.SetPassword(*change.password);
  if (change.charset) settings.SetDeviceCharset(*change.charset);
  return settings.SaveSettings();
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
