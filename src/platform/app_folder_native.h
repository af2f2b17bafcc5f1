// What each platform's app_folder_*.cc provides to app_folder_shared.cc. For
// the application folder's files of this folder only.
#pragma once

#include <string>

namespace tarvex {

// Makes path the process's current directory; false on failure.
bool EnterDirectory(const std::string& path);

}  // namespace tarvex
