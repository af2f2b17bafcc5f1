#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "platform/user_folders.h"

namespace tarvex {
namespace {

// The folder that user-dirs.dirs names for `key`, or "" when it names none.
// Lines read: KEY="$HOME/Folder" or KEY="/absolute/folder".
std::string UserDirsEntry(const std::string& config_home, const std::string& home,
                          const std::string& key) {
  std::ifstream in(config_home + "/user-dirs.dirs");
  std::string line;
  const std::string start = key + "=\"";
  while (std::getline(in, line)) {
    if (line.rfind(start, 0) != 0) continue;
    const std::size_t end = line.find('"', start.size());
    if (end == std::string::npos) return "";
    std::string value = line.substr(start.size(), end - start.size());
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    return value.empty() || value[0] != '/' ? "" : value;
  }
  return "";
}

}  // namespace

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  if (const passwd* entry = getpwuid(getuid())) return entry->pw_dir;
  return "";
}

std::string DocumentsDirectory() {
  const std::string home = HomeDirectory();
  if (home.empty()) return "";
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string config_home = (config != nullptr && config[0] == '/') ? config : home + "/.config";
  std::string documents = UserDirsEntry(config_home, home, "XDG_DOCUMENTS_DIR");
  if (documents.empty()) documents = home + "/Documents";
  while (documents.size() > 1 && documents.back() == '/') documents.pop_back();
  return documents;
}

}  // namespace tarvex
