#include <unistd.h>

#include <vector>

#include "platform/program_folder.h"

namespace tarvex {

std::string OwnProgramFolder() {
  std::vector<char> buffer(4096);
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return "";
  const std::string program(buffer.data(), static_cast<std::size_t>(length));
  const std::size_t slash = program.rfind('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : program.substr(0, slash);
}

}  // namespace tarvex
