#include <errno.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/app_folder.h"
#include "platform/files.h"

namespace tarvex {
namespace {

constexpr const char kFolderName[] = "Tarvex Server";

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string HomeDirectory() {
  std::string home = EnvironmentValue("HOME");
  if (!home.empty()) return home;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
    return {};
  }
  return found->pw_dir ? std::string(found->pw_dir) : std::string();
}

// The base directory for user data; a relative XDG_DATA_HOME is ignored, as
// the XDG base directory rules ask.
std::string DataHome() {
  std::string data_home = EnvironmentValue("XDG_DATA_HOME");
  if (!data_home.empty() && data_home[0] == '/') return data_home;
  std::string home = HomeDirectory();
  if (home.empty()) return {};
  return home + "/.local/share";
}

}  // namespace

std::optional<std::string> AppFolderPath() {
  std::string base = DataHome();
  if (base.empty()) return std::nullopt;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  std::string folder = base == "/" ? base + kFolderName : base + "/" + kFolderName;
  if (!MakeDirectories(folder, kPrivateFolderMode)) return std::nullopt;
  return folder;
}

bool EnterAppFolder() {
  std::optional<std::string> folder = AppFolderPath();
  return folder && chdir(folder->c_str()) == 0;
}

std::string CurrentDirectory() {
  std::vector<char> buffer(512);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return std::string(buffer.data());
}

}  // namespace tarvex
