#include <windows.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>

#include "platform/wide_text_win32.h"
#include "support/user_world.h"

namespace tarvex::testing {
namespace {

// Each world is the key "Software\Tarvex Tests\<process>-<n>" of the real
// HKEY_CURRENT_USER; the keys of this process are removed when it ends.
constexpr wchar_t kWorldsKey[] = L"Software\\Tarvex Tests";
constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

class Worlds {
 public:
  ~Worlds() {
    if (count_ == 0) return;
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (current_ != nullptr) ::RegCloseKey(current_);
    for (int n = 1; n <= count_; ++n) ::RegDeleteTreeW(HKEY_CURRENT_USER, Name(n).c_str());
  }

  // Redirects HKEY_CURRENT_USER to a new empty key; its handle, or null.
  HKEY Next() {
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (current_ != nullptr) ::RegCloseKey(current_);
    current_ = nullptr;
    const std::wstring name = Name(++count_);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, name.c_str());  // left by an earlier process of this number
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
      return nullptr;
    current_ = key;
    return ::RegOverridePredefKey(HKEY_CURRENT_USER, key) == ERROR_SUCCESS ? key : nullptr;
  }

 private:
  std::wstring Name(int n) const {
    return std::wstring(kWorldsKey) + L"\\" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(n);
  }

  int count_ = 0;
  HKEY current_ = nullptr;
};

bool SetShellFolder(const wchar_t* name, const std::string& path) {
  const std::wstring value = ToWide(path);
  return ::RegSetKeyValueW(HKEY_CURRENT_USER, kShellFolders, name, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

bool EnterUserWorld(const std::string& root) {
  static std::mutex mutex;
  static Worlds worlds;
  const std::lock_guard lock(mutex);
  std::error_code error;
  std::filesystem::create_directories(root + "/share", error);
  if (error || worlds.Next() == nullptr) return false;
  const std::string native = std::filesystem::path(root).make_preferred().string();
  return SetShellFolder(L"AppData", native + "\\share") && SetShellFolder(L"Local AppData", native) &&
         SetShellFolder(L"Personal", native);
}

}  // namespace tarvex::testing
