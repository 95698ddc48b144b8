#include "installer/windows/security_win32.h"

#include <aclapi.h>
#include <sddl.h>

#include <utility>

#include "installer/windows/entry_view_win32.h"

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

// The owner of the Windows folder, read through a handle opened without following a link.
platform::Result<String> OwnerOfWindowsFolder() {
  wchar_t folder[MAX_PATH + 1];
  const UINT size = ::GetSystemWindowsDirectoryW(folder, MAX_PATH + 1);
  if (size == 0 || size > MAX_PATH) {
    const DWORD error = size == 0 ? ::GetLastError() : ERROR_INSUFFICIENT_BUFFER;
    return SystemError(error, "Cannot find the Windows folder");
  }
  DWORD error = ERROR_SUCCESS;
  const UniqueHandle opened = OpenEntry(
      folder, READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, error);
  if (!opened.valid()) return SystemError(error, "Cannot read the owner of the Windows folder");
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  error = ::GetSecurityInfo(opened.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                            nullptr, nullptr, nullptr, &descriptor);
  const UniqueLocal<void> freed(descriptor);
  if (error != ERROR_SUCCESS) {
    return SystemError(error, "Cannot read the owner of the Windows folder");
  }
  if (owner == nullptr) return String(kTrustedInstaller);
  return SidText(owner);
}

}  // namespace

SecurityDescriptor::SecurityDescriptor(const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
    const DWORD error = ::GetLastError();
    error_ = SystemError(error, "Invalid security descriptor");
    return;
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

platform::Result<String> SidText(PSID sid) {
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(sid, &text)) {
    const DWORD error = ::GetLastError();
    return SystemError(error, "Unreadable owner");
  }
  const UniqueLocal<wchar_t> owned(text);
  return WideToUtf8(text);
}

platform::Outcome ReadSecurity(PSECURITY_DESCRIPTOR descriptor, EntryFacts& facts) {
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  ::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
  if (owner == nullptr) {
    facts.owner = "no one";
  } else {
    platform::Result<String> text = SidText(owner);
    if (!text.ok()) return text.error();
    facts.owner = std::move(text).value();
  }
  BOOL present = FALSE;
  PACL dacl = nullptr;
  ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  facts.access.clear();
  facts.no_access_list = !present || dacl == nullptr;
  if (facts.no_access_list) return {};
  for (DWORD index = 0; index < dacl->AceCount; ++index) {
    void* raw = nullptr;
    if (!::GetAce(dacl, index, &raw)) {
      const DWORD error = ::GetLastError();
      return SystemError(error, "Unreadable access list");
    }
    const auto* header = static_cast<const ACE_HEADER*>(raw);
    AccessEntry entry;
    const void* sid = nullptr;
    switch (header->AceType) {
      case ACCESS_ALLOWED_ACE_TYPE:
      case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:  // allowed under a condition: maybe always
      case ACCESS_DENIED_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_ACE_TYPE:
        // Allowed, denied and their callback forms all start as ACCESS_ALLOWED_ACE does.
        sid = &static_cast<const ACCESS_ALLOWED_ACE*>(raw)->SidStart;
        break;
      case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
      case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
      case ACCESS_DENIED_OBJECT_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE: {
        // Without an object type an object entry grants, or denies, on the whole object, files
        // and folders included; with one, only on that kind of property, which a file lacks.
        const auto* object = static_cast<const ACCESS_ALLOWED_OBJECT_ACE*>(raw);
        if (object->Flags & ACE_OBJECT_TYPE_PRESENT) continue;
        // The GUIDs present are packed: with no object type, an inherited object type (which
        // limits only what inherits the entry) takes its place, and the SID follows.
        sid = (object->Flags & ACE_INHERITED_OBJECT_TYPE_PRESENT)
                  ? static_cast<const void*>(&object->InheritedObjectType)
                  : static_cast<const void*>(&object->ObjectType);
        break;
      }
      default:
        continue;  // audit and alarm entries grant nothing
    }
    entry.allow = header->AceType == ACCESS_ALLOWED_ACE_TYPE ||
                  header->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE ||
                  header->AceType == ACCESS_ALLOWED_OBJECT_ACE_TYPE ||
                  header->AceType == ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE;
    // Every kind keeps its mask right after the header.
    const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
    platform::Result<String> sid_text = SidText(const_cast<void*>(sid));
    if (!sid_text.ok()) return sid_text.error();
    entry.sid = std::move(sid_text).value();
    entry.mask = ace->Mask;
    entry.inherit_only = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
    entry.inherited = (header->AceFlags & INHERITED_ACE) != 0;
    entry.inheritable = (header->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)) != 0;
    facts.access.push_back(std::move(entry));
  }
  return {};
}

// Not the account running this: the package's early check runs as the installing administrator
// and its script as SYSTEM, and both must judge alike; an administrator's own account owns only
// what it made without elevation. Whoever owns the Windows folder can replace the system itself,
// so trusting it risks nothing: on Windows that is TrustedInstaller; Wine, which keeps no owners,
// shows its one account as every file's owner.
platform::Result<TrustedAccounts> TrustedAccountsOfSetup() {
  platform::Result<String> owner = OwnerOfWindowsFolder();
  if (!owner.ok()) return owner.error();
  return TrustedAccounts({kAdministrators, kSystem, kTrustedInstaller, std::move(owner).value()});
}

}  // namespace tolvarin::installer::win32
