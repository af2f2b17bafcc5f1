// The per-user store: named text values under a key path such as
// "Software\Veldane Software\QLExchange\Config". On Windows that is the key
// of HKEY_CURRENT_USER, each value a REG_SZ. On Linux the path after
// "Software\" names the organisation, the application and then any groups;
// the values live in $XDG_CONFIG_HOME/<organisation>/<application>.conf
// (default ~/.config).
//
// A value longer than kMaxUserValueLength bytes (as UTF-8) reads as absent.
// Another process sees a write once it has returned (the file is flushed to
// disk first on Linux). A key path without organisation and application, an
// empty value name or one holding a separator ("/" or "\"), and a value that
// is not UTF-8 text (or holds a NUL) are refused. Safe to call from any
// thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

inline constexpr std::size_t kMaxUserValueLength = 499;

// The value, or none when the key path or the value is missing or too long.
std::optional<std::string> ReadUserValue(std::string_view key_path, std::string_view value_name);

// True when the value was written, creating the key as needed.
bool WriteUserValue(std::string_view key_path, std::string_view value_name,
                    std::string_view value);

}  // namespace tarvex
