#include "support/user_world.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tarvex::testing {

bool EnterUserWorld(const std::string& root) {
  std::error_code error;
  for (const char* folder : {"config", "share"}) std::filesystem::create_directories(root + "/" + folder, error);
  if (error) return false;
  return setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1) == 0 &&
         setenv("XDG_DATA_HOME", (root + "/share").c_str(), 1) == 0 &&
         setenv("XDG_RUNTIME_DIR", root.c_str(), 1) == 0 && setenv("HOME", root.c_str(), 1) == 0;
}

}  // namespace tarvex::testing
