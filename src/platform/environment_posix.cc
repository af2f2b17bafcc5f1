#include <cstdlib>
#include <string_view>

#include "platform/environment.h"

extern char** environ;

namespace tarvex {
namespace {

std::string_view NameOf(std::string_view entry) { return entry.substr(0, entry.find('=')); }

}  // namespace

std::optional<std::string> EnvironmentVariable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& overrides) {
  std::vector<std::string> merged;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view entry = *e;
    bool replaced = false;
    for (const std::string& extra : overrides) replaced |= NameOf(extra) == NameOf(entry);
    if (!replaced) merged.emplace_back(entry);
  }
  merged.insert(merged.end(), overrides.begin(), overrides.end());
  return merged;
}

}  // namespace tarvex
