#include "installer/security_win32.h"

#include <sddl.h>

#include <vector>

namespace tolvarin::installer::win32 {
namespace {

using platform::win32::SystemError;
using platform::win32::UniqueHandle;
using platform::win32::UniqueLocal;
using platform::win32::WideToUtf8;

constexpr char kAdministrators[] = "S-1-5-32-544";
constexpr char kSystem[] = "S-1-5-18";
constexpr char kTrustedInstaller[] =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

std::string AccountRunningThis() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
    const DWORD error = ::GetLastError();
    throw SystemError(error, "Cannot read this process's account");
  }
  const UniqueHandle owned(token);
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  if (!::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
    const DWORD error = ::GetLastError();
    throw SystemError(error, "Cannot read this process's account");
  }
  return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

}  // namespace

SecurityDescriptor::SecurityDescriptor(const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
    const DWORD error = ::GetLastError();
    throw SystemError(error, "Invalid security descriptor");
  }
  descriptor_.reset(descriptor);
}

PSID SecurityDescriptor::owner() const {
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  ::GetSecurityDescriptorOwner(descriptor_.get(), &owner, &defaulted);
  return owner;
}

PACL SecurityDescriptor::dacl() const {
  PACL dacl = nullptr;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  ::GetSecurityDescriptorDacl(descriptor_.get(), &present, &dacl, &defaulted);
  return dacl;
}

std::string SidText(PSID sid) {
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(sid, &text)) {
    const DWORD error = ::GetLastError();
    throw SystemError(error, "Unreadable owner");
  }
  const UniqueLocal<wchar_t> owned(text);
  return WideToUtf8(text);
}

// The account running Setup is trusted too. Setup runs elevated, so that account is an
// administrator: whatever it owns it could have put anywhere (between an administrator's own
// processes UAC is no security boundary). On Windows an elevated administrator's folders belong
// to Administrators anyway; Wine, which keeps no owners, reports this account as every file's.
TrustedOwners OwnersOfKeptEntries() {
  return TrustedOwners({kAdministrators, kSystem, AccountRunningThis()});
}

TrustedOwners OwnersOfParents() {
  return TrustedOwners({kAdministrators, kSystem, AccountRunningThis(), kTrustedInstaller});
}

}  // namespace tolvarin::installer::win32
