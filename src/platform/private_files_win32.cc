#include <windows.h>
#include <aclapi.h>

#include <vector>

#include "platform/file_handle_win32.h"
#include "platform/private_files.h"
#include "platform/wide_text_win32.h"

namespace tarvex {

// What a process creates in the folders of the user's profile (the
// application folder, the documents) inherits those folders' permissions,
// which give the user alone (and the system's own accounts) any access; no
// process-wide setting is needed for it.
void MakeNewFilesPrivate() {}

// The folder gets a protected access list that gives this user full control,
// inherited by everything below it, in place of what it inherited before.
bool MakeFolderPrivate(const std::string& folder) {
  if (!IsUsablePath(folder)) return false;
  HANDLE token_handle = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token_handle)) return false;
  const UniqueHandle token(token_handle);
  DWORD size = 0;
  ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> user(size);
  if (size == 0 || !::GetTokenInformation(token.Get(), TokenUser, user.data(), size, &size)) return false;

  EXPLICIT_ACCESSW access{};
  access.grfAccessPermissions = GENERIC_ALL;
  access.grfAccessMode = SET_ACCESS;
  access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access.Trustee.TrusteeType = TRUSTEE_IS_USER;
  access.Trustee.ptstrName = static_cast<LPWSTR>(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid);
  PACL raw_list = nullptr;
  if (::SetEntriesInAclW(1, &access, nullptr, &raw_list) != ERROR_SUCCESS) return false;
  const LocalMemory<ACL> list(raw_list);
  std::wstring wide = ToWide(folder);
  // Windows spreads the inherited entry to what is below the folder.
  const DWORD result = ::SetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT,
                                               DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                               nullptr, nullptr, list.get(), nullptr);
  return result == ERROR_SUCCESS;
}

}  // namespace tarvex
