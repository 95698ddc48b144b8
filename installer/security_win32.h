#ifndef TOLVARIN_INSTALLER_SECURITY_WIN32_H_
#define TOLVARIN_INSTALLER_SECURITY_WIN32_H_

// The access list Setup gives its folders, and the accounts it trusts to own what it keeps.

#include <windows.h>

#include <string>

#include "installer/folder_trust.h"
#include "platform/win32_util.h"

namespace tolvarin::installer::win32 {

// Owner Administrators; a list of its own, not inherited from above and inherited by everything
// below: full control for SYSTEM and Administrators, read and execute for Users.
inline constexpr wchar_t kProtectedFolderSddl[] =
    L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// A security descriptor made from SDDL text, freed with it.
class SecurityDescriptor {
 public:
  // Throws platform::Error when `sddl` is not a valid descriptor.
  explicit SecurityDescriptor(const wchar_t* sddl);

  PSECURITY_DESCRIPTOR get() const { return descriptor_.get(); }
  // Its owner and access list, valid as long as it lives.
  PSID owner() const;
  PACL dacl() const;

 private:
  platform::win32::UniqueLocal<void> descriptor_;
};

// The SID as text ("S-1-5-32-544"). Throws platform::Error.
std::string SidText(PSID sid);

// Who may own the folders Setup keeps and everything in them: Administrators, SYSTEM and the
// account running Setup. Throws platform::Error when this process's account cannot be read.
TrustedOwners OwnersOfKeptEntries();

// Who may own a folder above those: the same, and TrustedInstaller, which owns C:\ and the
// programs folders.
TrustedOwners OwnersOfParents();

}  // namespace tolvarin::installer::win32

#endif  // TOLVARIN_INSTALLER_SECURITY_WIN32_H_
