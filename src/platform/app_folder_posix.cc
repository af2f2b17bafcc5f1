#include <errno.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/app_folder.h"
#include "platform/app_folder_native.h"

namespace tarvex {

bool EnterDirectory(const std::string& path) { return chdir(path.c_str()) == 0; }

std::string CurrentDirectory() {
  std::vector<char> buffer(512);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return std::string(buffer.data());
}

}  // namespace tarvex
