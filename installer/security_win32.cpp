#include "installer/security_win32.h"

#include <sddl.h>

#include <utility>
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

void ReadSecurity(PSECURITY_DESCRIPTOR descriptor, EntryFacts& facts) {
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  ::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
  facts.owner = owner ? SidText(owner) : "no one";
  BOOL present = FALSE;
  PACL dacl = nullptr;
  ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  facts.access.clear();
  facts.no_access_list = !present || dacl == nullptr;
  if (facts.no_access_list) return;
  for (DWORD index = 0; index < dacl->AceCount; ++index) {
    void* raw = nullptr;
    if (!::GetAce(dacl, index, &raw)) {
      const DWORD error = ::GetLastError();
      throw SystemError(error, "Unreadable access list");
    }
    const auto* header = static_cast<const ACE_HEADER*>(raw);
    AccessEntry entry;
    switch (header->AceType) {
      case ACCESS_ALLOWED_ACE_TYPE:
      case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:  // allowed under a condition: maybe always
        break;
      case ACCESS_DENIED_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_ACE_TYPE:
        entry.allow = false;
        break;
      default:
        continue;  // audit and object entries grant nothing on a file
    }
    // Allowed, denied and their callback forms all start as ACCESS_ALLOWED_ACE does.
    const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
    entry.sid = SidText(const_cast<DWORD*>(&ace->SidStart));
    entry.mask = ace->Mask;
    entry.inherit_only = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
    entry.inherited = (header->AceFlags & INHERITED_ACE) != 0;
    entry.inheritable = (header->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)) != 0;
    facts.access.push_back(std::move(entry));
  }
}

// The account running Setup is trusted too. Setup runs elevated, so that account is an
// administrator: whatever it owns or may change it could have put anywhere (between an
// administrator's own processes UAC is no security boundary). On Windows an elevated
// administrator's folders belong to Administrators anyway; Wine, which keeps no owners, reports
// this account as every file's owner and gives it full control.
TrustedAccounts TrustedAccountsOfSetup() {
  return TrustedAccounts({kAdministrators, kSystem, kTrustedInstaller, AccountRunningThis()});
}

}  // namespace tolvarin::installer::win32
