// Runs every input file in the given folders through one fuzz entry, as the
// libFuzzer target would: fuzz_regressions <target> <folder>... A fault
// aborts the program, naming the input on the way in.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_entries.h"
#include "fuzz_world.h"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <target> <folder>...\n", argv[0]);
    return 2;
  }
  const tarvex::fuzz::FuzzEntry entry = tarvex::fuzz::FindFuzzEntry(argv[1]);
  if (entry == nullptr) {
    std::fprintf(stderr, "unknown fuzz target %s\n", argv[1]);
    return 2;
  }
  std::vector<std::string> inputs;
  for (int i = 2; i < argc; ++i) {
    std::error_code error;
    for (fs::directory_iterator it(argv[i], error), end; !error && it != end; it.increment(error)) {
      if (it->is_regular_file() && it->path().filename().string()[0] != '.') inputs.push_back(fs::absolute(it->path()).string());
    }
  }
  std::sort(inputs.begin(), inputs.end());
  for (const std::string& input : inputs) {
    std::fprintf(stderr, "%s\n", input.c_str());
    entry(tarvex::fuzz::GetFile(input));
  }
  std::printf("%zu inputs of %s passed\n", inputs.size(), argv[1]);
  return inputs.empty() ? 1 : 0;
}
