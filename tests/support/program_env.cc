#include "support/program_env.h"

#include <filesystem>

namespace tarvex::testing {

ProgramEnvironment::ProgramEnvironment() {
  for (const char* d : {"config", "share", "run", "home"}) {
    std::filesystem::create_directories(dir_.File(d));
  }
  env_ = {"XDG_CONFIG_HOME=" + dir_.File("config"), "XDG_DATA_HOME=" + dir_.File("share"),
          "XDG_RUNTIME_DIR=" + dir_.File("run"), "HOME=" + dir_.File("home")};
}

std::string ProgramEnvironment::AppFile(const std::string& name) const {
  return dir_.File("share") + "/Tarvex Server/" + name;
}

}  // namespace tarvex::testing
