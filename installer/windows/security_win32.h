#ifndef TOLVARIN_INSTALLER_WINDOWS_SECURITY_WIN32_H_
#define TOLVARIN_INSTALLER_WINDOWS_SECURITY_WIN32_H_

// The access list Setup gives its folders, and the accounts it trusts to own what it keeps.

#include <windows.h>

#include <optional>

#include "installer/rule/folder_trust.h"
#include "platform/error.h"
#include "platform/text.h"
#include "platform/win32_util.h"

namespace tolvarin::installer::win32 {

// Owner Administrators; a list of its own, not inherited from above and inherited by everything
// below: full control for SYSTEM and Administrators, read and execute for Users.
inline constexpr wchar_t kProtectedFolderSddl[] =
    L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// What Setup gives the files it creates itself (its log, Setup.log): owner Administrators, full
// control for SYSTEM and Administrators, read and execute for Users, nothing inherited, so that a
// folder passing rights on to what is made in it gives nobody else the file.
inline constexpr wchar_t kProtectedFileSddl[] =
    L"O:BAD:PAI(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)";

// A security descriptor made from SDDL text, freed with it.
class SecurityDescriptor {
 public:
  // Invalid, with the reason in failure(), when `sddl` is not a valid descriptor.
  explicit SecurityDescriptor(const wchar_t* sddl);

  bool valid() const { return descriptor_ != nullptr; }
  const platform::Error& failure() const { return *error_; }
  PSECURITY_DESCRIPTOR get() const { return descriptor_.get(); }
  // Its owner and access list, valid as long as it lives.
  PSID owner() const;
  PACL dacl() const;

 private:
  platform::win32::UniqueLocal<void> descriptor_;
  std::optional<platform::Error> error_;
};

// The SID as text ("S-1-5-32-544").
platform::Result<String> SidText(PSID sid);

// Sets the owner and the access list of `facts` from `descriptor`, read with OWNER and DACL
// information; a descriptor without an owner (FAT keeps none) gives the owner "no one".
platform::Outcome ReadSecurity(PSECURITY_DESCRIPTOR descriptor, EntryFacts& facts);

// Who may own, and hold rights over, what Setup keeps and the folders above it:
// Administrators, SYSTEM, TrustedInstaller (which owns C:\ and the programs folders) and the
// owner of the Windows folder; not the account running Setup. Fails when the Windows folder's
// owner cannot be read.
platform::Result<TrustedAccounts> TrustedAccountsOfSetup();

}  // namespace tolvarin::installer::win32

#endif  // TOLVARIN_INSTALLER_WINDOWS_SECURITY_WIN32_H_
