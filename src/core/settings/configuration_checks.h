// The checks that every configuration path (the configuration dialogs, the
// headless server's prompts and its `configure` command) applies before it
// stores anything, with the messages shown to the user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

inline constexpr std::string_view kPortRequired = "Port number is required.";
inline constexpr std::string_view kInvalidPort = "Invalid Port Number";
inline constexpr std::string_view kInvalidLogin = "Invalid Login Name";
inline constexpr std::string_view kLoginHasControl =
    "Invalid Login Name: it must not hold control characters such as line breaks.";
inline constexpr std::string_view kInvalidPassword =
    "Invalid Password. Must be at least 5 characters long.";
inline constexpr std::string_view kUnknownCharset =
    "Unknown character set: give a name that iconv knows, such as WINDOWS-1252 or SHIFT_JIS.";
inline constexpr std::string_view kInvalidDirectory = "Must enter a valid directory";
inline constexpr std::string_view kNeedIpAddress = "Must enter a valid IP Address";
inline constexpr std::string_view kNeedSaveFolder = "Must select a directory to save file to.";
inline constexpr std::string_view kDeviceFileCreated =
    "Device Configuration File successfully created.";
inline constexpr std::string_view kInstallDeviceFile =
    "You must now install configuration file to device.";

// The port text: required, and its decimal value (read up to the first
// non-digit) from 1 to 32767. The message of the failing check, or none.
std::optional<std::string_view> CheckPortText(std::string_view port_text);
std::optional<std::string_view> CheckLoginName(std::string_view login);
std::optional<std::string_view> CheckPasswordLength(std::string_view password);
// A code page for the handhelds' texts that the converter knows and that
// carries ASCII unchanged.
std::optional<std::string_view> CheckDeviceCharset(std::string_view charset);

// The port a valid port text stands for.
std::uint16_t PortFromText(std::string_view port_text);

// An IPv4 address of four decimal fields from 0 to 255 ("10.0.0.2"; leading
// zeros are accepted and dropped), as "%d.%d.%d.%d"; none when malformed.
std::optional<std::string> ParseIpAddress(std::string_view text);

// A chosen folder as stored: "/" appended unless it already ends in "\" or
// "/". None for an empty folder.
std::optional<std::string> FolderWithSeparator(std::string_view folder);

}  // namespace tarvex
