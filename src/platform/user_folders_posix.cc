#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/user_folders.h"

namespace tarvex {

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  if (const passwd* entry = getpwuid(getuid())) return entry->pw_dir;
  return "";
}

}  // namespace tarvex
