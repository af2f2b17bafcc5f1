#include <windows.h>

#include <vector>

#include "platform/user_key_path.h"
#include "platform/user_store.h"
#include "platform/wide_text_win32.h"

namespace tarvex {
namespace {

// The key path as a subkey of HKEY_CURRENT_USER; empty when the key path or
// the value name is malformed.
std::wstring SubKey(std::string_view key_path, std::string_view value_name) {
  if (!IsUserValueName(value_name) || SplitUserKeyPath(key_path).empty()) return {};
  return ToWide(key_path);
}

}  // namespace

std::optional<std::string> ReadUserValue(std::string_view key_path, std::string_view value_name) {
  const std::wstring key = SubKey(key_path, value_name);
  if (key.empty()) return std::nullopt;
  const std::wstring name = ToWide(value_name);
  // The value may change between asking its size and reading it: ask again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    DWORD bytes = 0;
    LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr,
                                  nullptr, &bytes);
    if (status != ERROR_SUCCESS) return std::nullopt;
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    status = RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, buffer.data(),
                          &bytes);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) return std::nullopt;
    // RegGetValueW ends the text with a NUL; the text is what comes before it.
    std::string text = FromWide(std::wstring_view(buffer.data()));
    if (text.size() > kMaxUserValueLength) return std::nullopt;
    return text;
  }
  return std::nullopt;
}

bool WriteUserValue(std::string_view key_path, std::string_view value_name, std::string_view value) {
  const std::wstring key = SubKey(key_path, value_name);
  if (key.empty()) return false;
  // Bytes that are not UTF-8 would be stored altered, and a NUL would cut the
  // value short; refuse them instead.
  const std::wstring wide = ToWide(value);
  if (FromWide(wide) != value || wide.find(L'\0') != std::wstring::npos) return false;
  const DWORD bytes = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
  return RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), ToWide(value_name).c_str(), REG_SZ, wide.c_str(),
                         bytes) == ERROR_SUCCESS;
}

}  // namespace tarvex
