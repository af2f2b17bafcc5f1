// The user's home directory and documents folder.
#pragma once

#include <string>

namespace tarvex {

// $HOME, or the password database's entry when HOME is unset; "" if neither.
std::string HomeDirectory();

// The documents folder the user's desktop names (XDG_DOCUMENTS_DIR in
// $XDG_CONFIG_HOME/user-dirs.dirs, "$HOME/..." expanded), else
// "$HOME/Documents"; without a trailing separator. "" when there is no home
// directory. The folder need not exist.
std::string DocumentsDirectory();

}  // namespace tarvex
