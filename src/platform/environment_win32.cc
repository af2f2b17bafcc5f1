#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string_view>

#include "platform/environment.h"
#include "platform/wide_text_win32.h"

namespace tarvex {
namespace {

// A name runs to the first "=" after its first character: the entries that
// keep each drive's current folder ("=C:=C:\work") begin with one.
std::wstring_view NameOf(std::wstring_view entry) {
  return entry.substr(0, entry.find(L'=', entry.empty() ? 0 : 1));
}

// Windows looks environment names up regardless of case.
bool SameName(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

struct EnvironmentBlockDeleter {
  void operator()(wchar_t* block) const { FreeEnvironmentStringsW(block); }
};

}  // namespace

std::optional<std::string> EnvironmentVariable(const std::string& name) {
  const wchar_t* value = ::_wgetenv(ToWide(name).c_str());
  return value != nullptr ? std::optional<std::string>(FromWide(value)) : std::nullopt;
}

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& overrides) {
  std::vector<std::wstring> names;
  for (const std::string& extra : overrides) names.emplace_back(NameOf(ToWide(extra)));
  std::vector<std::string> merged;
  const std::unique_ptr<wchar_t, EnvironmentBlockDeleter> block(GetEnvironmentStringsW());
  for (const wchar_t* e = block.get(); e != nullptr && *e != L'\0';) {
    const std::wstring_view entry = e;
    e += entry.size() + 1;
    bool replaced = false;
    for (const std::wstring& name : names) replaced |= SameName(name, NameOf(entry));
    if (!replaced) merged.push_back(FromWide(entry));
  }
  merged.insert(merged.end(), overrides.begin(), overrides.end());
  return merged;
}

}  // namespace tarvex
