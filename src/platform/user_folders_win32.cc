#include <windows.h>
#include <shlobj.h>

#include <cstdlib>

#include "platform/user_folders.h"
#include "platform/wide_text_win32.h"

namespace tarvex {
namespace {

// A known folder of the user, "" when Windows does not tell it.
std::string KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  const HRESULT result = ::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path);
  std::string folder = SUCCEEDED(result) && path != nullptr ? FromWide(path) : std::string();
  ::CoTaskMemFree(path);
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

std::string Variable(const wchar_t* name) {
  const wchar_t* value = ::_wgetenv(name);
  return value != nullptr ? FromWide(value) : std::string();
}

}  // namespace

std::string HomeDirectory() {
  std::string home = KnownFolder(FOLDERID_Profile);
  if (home.empty()) home = Variable(L"USERPROFILE");
  return home;
}

std::string DocumentsDirectory() {
  std::string documents = KnownFolder(FOLDERID_Documents);
  return documents.empty() ? HomeDirectory() + "\\Documents" : documents;
}

std::string DataHomeDirectory() {
  std::string data_home = KnownFolder(FOLDERID_RoamingAppData);
  if (data_home.empty()) data_home = Variable(L"APPDATA");
  return data_home.empty() ? HomeDirectory() + "\\AppData\\Roaming" : data_home;
}

std::string DefaultRootParentDirectory() { return DocumentsDirectory(); }

}  // namespace tarvex
