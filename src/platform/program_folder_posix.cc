#include <unistd.h>

#include <vector>

#include "platform/path.h"
#include "platform/program_folder.h"

namespace tarvex {

std::string OwnProgramFolder() {
  std::vector<char> buffer(4096);
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return "";
  return Dirname(std::string(buffer.data(), static_cast<std::size_t>(length)));
}

}  // namespace tarvex
