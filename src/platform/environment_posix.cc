#include <string_view>

#include "platform/environment.h"

extern char** environ;

namespace tarvex {
namespace {

std::string_view NameOf(std::string_view entry) { return entry.substr(0, entry.find('=')); }

}  // namespace

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

ExecArrays::ExecArrays(const std::string& program, const std::vector<std::string>& args,
                       const std::vector<std::string>& env) {
  strings_.push_back(program);
  strings_.insert(strings_.end(), args.begin(), args.end());
  const std::size_t arguments = strings_.size();
  std::vector<std::string> environment = MergedEnvironment(env);
  strings_.insert(strings_.end(), environment.begin(), environment.end());
  for (std::size_t i = 0; i < strings_.size(); ++i) {
    (i < arguments ? argv_ : envp_).push_back(strings_[i].data());
  }
  argv_.push_back(nullptr);
  envp_.push_back(nullptr);
}

}  // namespace tarvex
