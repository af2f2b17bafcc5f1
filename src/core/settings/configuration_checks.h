// The one check sequence that every configuration path (the configuration
// dialogs, the headless server's prompts and its `configure` command) runs
// before it stores anything, with the messages shown to the user, and the
// one way a checked change is stored.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

class ServerSettings;

inline constexpr std::string_view kPortRequired = "Port number is required.";
inline constexpr std::string_view kInvalidPort = "Invalid Port Number";
inline constexpr std::string_view kInvalidLogin = "Invalid Login Name";
inline constexpr std::string_view kLoginHasControl =
    "Invalid Login Name: it must not hold control characters such as line breaks.";
inline constexpr std::string_view kInvalidPassword =
    "Invalid Password. Must be at least 5 characters long.";
inline constexpr std::string_view kPasswordsDiffer = "The passwords do not match.";
inline constexpr std::string_view kUnknownCharset =
    "Unknown character set: give a name that iconv knows, such as WINDOWS-1252 or SHIFT_JIS.";
inline constexpr std::string_view kInvalidDirectory = "Must enter a valid directory";

// What a person asks to change; a field left out stays as it is. The port is
// the text typed, the folders as chosen.
struct SettingsChange {
  std::optional<std::string> port = {};
  std::optional<std::string> login = {};
  std::optional<std::string> password = {};
  std::optional<std::string> password_again = {};  // asked only where typed unseen
  std::optional<std::string> charset = {};
  std::optional<std::string> data_dir = {};
  std::optional<std::string> root_dir = {};
};

// The message of the first failing check, or none. In this order: the port
// (required; decimal digits only, 1 to 32767), the login name (not empty, no
// control character), the password (at least 5 bytes, equal to the second
// typing when there is one, storable), the handhelds' code page (a name the
// converter knows that carries ASCII unchanged), the data directory (not
// empty, an existing directory), the root directory (not empty).
std::optional<std::string> FirstProblem(const SettingsChange& change);

// Stores the port, login name, password and code page of a change that
// passed FirstProblem, in that order, and saves the settings file. 0, or the
// errno value of the failed save.
int ApplySettingsChange(const SettingsChange& change, ServerSettings& settings);

// An IPv4 address of four decimal fields from 0 to 255 ("10.0.0.2"; leading
// zeros are accepted and dropped), as "%d.%d.%d.%d"; none when malformed.
std::optional<std::string> ParseIpAddress(std::string_view text);

// A chosen folder as stored: "/" appended unless it already ends in "\" or
// "/". None for an empty folder.
std::optional<std::string> FolderWithSeparator(std::string_view folder);

}  // namespace tarvex
