#include "support/thread_count.h"

#include <fstream>
#include <string>

namespace tarvex::testing {

int CountThreads() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
  }
  return -1;
}

}  // namespace tarvex::testing
