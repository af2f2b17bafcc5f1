// The per-user application folder, $XDG_DATA_HOME/Tarvex Server (default
// ~/.local/share/Tarvex Server; on Windows %APPDATA%\Tarvex Server), and the
// process's current directory. The
// programs enter the folder at start-up, so that the relative file names of
// the system (the log files) and the default data directory resolve there.
//
// The folder and any missing parents are created on demand (mode 0700 on
// Linux; on Windows they inherit the profile's permissions, the user's own).
// Paths are returned without a trailing separator.
#pragma once

#include <optional>
#include <string>

namespace tarvex {

// The folder, created when missing; none when it cannot be made.
std::optional<std::string> AppFolderPath();

// Creates the folder and makes it the current directory; false on failure.
bool EnterAppFolder();

// The current directory, or "" when it cannot be determined.
std::string CurrentDirectory();

}  // namespace tarvex
