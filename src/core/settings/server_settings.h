// ServerSettings: the server's port, login name and password and the
// handhelds' code page, kept in the settings file "TSConfig.txt" of the data
// directory under the keys "PORT", "LOGIN", "PWD" and "CHARSET", and the data
// directory itself, kept in the per-user store
// as "DATADIR" under kServerKeyPath. Every program finds the settings file
// through Open (or FileIn, for a data directory about to be stored).
//
// The password is stored enciphered: its n bytes padded with 1 to 8 zero bytes
// to the next multiple of 8 above n, Blowfish-ECB under kSettingsKey, written
// as raw bytes. The stored text cannot carry a zero or line-break byte, so
// SetPassword refuses a password whose ciphertext holds one (or that holds a
// zero byte itself); every accepted password reads back unchanged.
//
// Setters change the entries only; SaveSettings (also run on destruction)
// writes the file. A read-only view neither creates the file nor ever writes
// it, for programs that only look at the settings while a server may be
// running. Every member is safe to call from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "core/cipher/blowfish.h"
#include "core/settings/settings_store.h"

namespace tarvex {

inline constexpr std::string_view kServerKeyPath = "Software\\Veldane Software\\TServer";
inline constexpr std::string_view kSettingsFileName = "TSConfig.txt";
// The port a configuration dialog offers while GetPort is not above 0.
inline constexpr std::uint16_t kDefaultPort = 9300;
inline constexpr std::string_view kPasswordNotStorable =
    "This password cannot be stored. Please choose another one.";

class ServerSettings : public SettingsStore {
 public:
  enum class Access { kReadWrite, kReadOnly };

  // Reads the settings file at path (the data directory + kSettingsFileName).
  explicit ServerSettings(std::string path, Access access = Access::kReadWrite,
                          SaveCalls& calls = SaveCalls::Default());
  ~ServerSettings() override;  // SaveSettings, unless read-only

  // "PORT" as a decimal number cut to 16 bits (so 40000 reads negative); 0
  // when none is stored. The listener takes it unsigned.
  std::int16_t GetPort() const;
  void SetPort(std::uint16_t port);

  std::string GetLogin() const;
  // False (nothing changed) for a name holding a control character, which
  // could break the settings file's lines.
  bool SetLogin(std::string_view login);

  // "CHARSET": the code page of the handhelds' texts, a name the platform's
  // converter knows; kDefaultDeviceCharset when none is stored.
  std::string GetDeviceCharset() const;
  // False (nothing changed) for a name the converter does not know or that
  // does not carry ASCII unchanged.
  bool SetDeviceCharset(std::string_view charset);
  // GetDeviceCharset of the stored settings file of the data directory, for
  // readers of the stored files that start before the settings are open.
  static std::string ReadStoredDeviceCharset();

  // The deciphered "PWD", cut at the first zero byte (the padding).
  std::string GetPassword() const;
  // False when the password cannot be stored (see above) or is longer than
  // 32767 bytes; the stored value is then left as it was.
  bool SetPassword(std::string_view password);
  // Whether SetPassword would accept the password.
  static bool CanStorePassword(std::string_view password);
  // "PWD" as stored (enciphered), for the device configuration database.
  std::string GetStoredPassword() const;

  // A port other than 0, a login name and a password are all set.
  bool IsComplete() const;

  static std::optional<std::string> GetDataDir();
  // True when written.
  static bool SetDataDir(std::string_view dir);
  // The stored data directory; at the first run (none stored) the current
  // directory with "/" appended is stored and used. None when it can be
  // neither read nor set.
  static std::optional<std::string> ResolveDataDir();
  // The settings file of a data directory; none when the path is too long.
  static std::optional<std::string> FileIn(std::string_view data_dir);
  // The settings of the data directory: read-write resolves it (storing the
  // default at the first run), read-only only reads what is stored. None
  // when there is no data directory.
  static std::unique_ptr<ServerSettings> Open(Access access = Access::kReadWrite);

 private:
  // The enciphered form of a password, or none when it cannot be stored.
  static std::optional<std::string> StoredForm(const KeySchedule& schedule,
                                               std::string_view password);
  // The settings cipher, made on first use.
  const KeySchedule& SettingsSchedule() const;

  const Access access_;
  mutable std::mutex schedule_mutex_;
  mutable std::unique_ptr<const KeySchedule> schedule_;
};

}  // namespace tarvex
