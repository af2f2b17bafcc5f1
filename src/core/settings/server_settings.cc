#include "core/settings/server_settings.h"

#include <string>
#include <utility>

#include "common/ascii.h"
#include "common/device_text.h"
#include "platform/app_folder.h"
#include "platform/path.h"
#include "platform/user_store.h"

namespace tarvex {
namespace {

constexpr std::string_view kPortKey = "PORT";
constexpr std::string_view kLoginKey = "LOGIN";
constexpr std::string_view kPasswordKey = "PWD";
constexpr std::string_view kCharsetKey = "CHARSET";
constexpr std::string_view kDataDirValue = "DATADIR";

// Bytes that would end the stored text or break its line in the file.
bool StorableCiphertext(std::string_view bytes) {
  return bytes.find_first_of(std::string_view("\0\n\r", 3)) == std::string_view::npos;
}

}  // namespace

ServerSettings::ServerSettings(std::string path, Access access, SaveCalls& calls)
    : SettingsStore(std::move(path), calls), access_(access) {
  if (access_ == Access::kReadOnly) {
    ReadSettings();
  } else {
    LoadSettings();
  }
}

ServerSettings::~ServerSettings() {
  if (access_ == Access::kReadWrite) SaveSettings();
}

const KeySchedule& ServerSettings::SettingsSchedule() const {
  std::lock_guard<std::mutex> lock(schedule_mutex_);
  if (!schedule_) schedule_ = std::make_unique<const KeySchedule>(CreateKeySchedule(kSettingsKey));
  return *schedule_;  // never replaced once made
}

std::int16_t ServerSettings::GetPort() const {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(ParseDecimal(GetValue(kPortKey))));
}

void ServerSettings::SetPort(std::uint16_t port) { SetValue(kPortKey, std::to_string(port)); }

std::string ServerSettings::GetLogin() const { return GetValue(kLoginKey); }

bool ServerSettings::SetLogin(std::string_view login) {
  if (HoldsControlCharacter(login)) return false;
  SetValue(kLoginKey, login);
  return true;
}

std::string ServerSettings::GetDeviceCharset() const {
  std::string charset = GetValue(kCharsetKey);
  return charset.empty() ? std::string(kDefaultDeviceCharset) : charset;
}

bool ServerSettings::SetDeviceCharset(std::string_view charset) {
  if (HoldsControlCharacter(charset) || !TextCodec::IsUsableCharset(charset)) return false;
  SetValue(kCharsetKey, charset);
  return true;
}

std::string ServerSettings::ReadStoredDeviceCharset() {
  const std::unique_ptr<ServerSettings> stored = Open(Access::kReadOnly);
  return stored ? stored->GetDeviceCharset() : std::string(kDefaultDeviceCharset);
}

std::string ServerSettings::GetPassword() const {
  std::string buffer = GetValue(kPasswordKey);
  DecryptBuffer(SettingsSchedule(), buffer.data(), buffer.size());
  return buffer.substr(0, buffer.find('\0'));
}

std::optional<std::string> ServerSettings::StoredForm(const KeySchedule& schedule,
                                                      std::string_view password) {
  if (password.size() > 32767 || password.find('\0') != std::string_view::npos) return std::nullopt;
  const std::size_t padded = password.size() + 8 - password.size() % 8;
  std::string buffer(password);
  buffer.resize(padded, '\0');
  EncryptBuffer(schedule, buffer.data(), buffer.size());
  if (!StorableCiphertext(buffer)) return std::nullopt;
  return buffer;
}

bool ServerSettings::CanStorePassword(std::string_view password) {
  return StoredForm(CreateKeySchedule(kSettingsKey), password).has_value();
}

bool ServerSettings::SetPassword(std::string_view password) {
  std::optional<std::string> stored = StoredForm(SettingsSchedule(), password);
  if (!stored) return false;
  SetValue(kPasswordKey, *stored);
  return true;
}

std::string ServerSettings::GetStoredPassword() const { return GetValue(kPasswordKey); }

bool ServerSettings::IsComplete() const {
  return GetPort() != 0 && !GetLogin().empty() && !GetPassword().empty();
}

std::optional<std::string> ServerSettings::GetDataDir() {
  return ReadUserValue(kServerKeyPath, kDataDirValue);
}

bool ServerSettings::SetDataDir(std::string_view dir) {
  return WriteUserValue(kServerKeyPath, kDataDirValue, dir);
}

std::optional<std::string> ServerSettings::ResolveDataDir() {
  if (std::optional<std::string> stored = GetDataDir()) return stored;
  std::string dir = CurrentDirectory();
  if (dir.empty()) return std::nullopt;
  SetDataDir(WithTrailingSeparator(std::move(dir)));
  return GetDataDir();
}

std::optional<std::string> ServerSettings::FileIn(std::string_view data_dir) {
  return DataFilePath(data_dir, kSettingsFileName);
}

std::unique_ptr<ServerSettings> ServerSettings::Open(Access access) {
  const std::optional<std::string> data_dir =
      access == Access::kReadWrite ? ResolveDataDir() : GetDataDir();
  std::optional<std::string> path = data_dir ? FileIn(*data_dir) : std::nullopt;
  if (!path) return nullptr;
  return std::make_unique<ServerSettings>(std::move(*path), access);
}

}  // namespace tarvex
