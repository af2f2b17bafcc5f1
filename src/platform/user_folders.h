// The user's folders as the desktop's standard locations name them
// (QStandardPaths: the XDG base and user directories on Linux; the known
// folders of the user's profile on Windows). Each is returned without a
// trailing separator and need not exist.
#pragma once

#include <string>

namespace tarvex {

// $HOME, cleaned ("/" when HOME is unset or empty). Windows: the profile
// folder (FOLDERID_Profile, else %USERPROFILE%).
std::string HomeDirectory();

// The documents folder the user's desktop names (XDG_DOCUMENTS_DIR in
// $XDG_CONFIG_HOME/user-dirs.dirs), else "$HOME/Documents". Windows:
// FOLDERID_Documents.
std::string DocumentsDirectory();

// The base folder of per-user data files: $XDG_DATA_HOME, else
// "$HOME/.local/share"; a relative XDG_DATA_HOME is ignored, as the XDG base
// directory rules ask. Windows: the roaming application data
// (FOLDERID_RoamingAppData, else %APPDATA%).
std::string DataHomeDirectory();

// The folder the file service's root folder is made in when none is set: the
// home folder on Linux, the documents folder on Windows.
std::string DefaultRootParentDirectory();

}  // namespace tarvex
