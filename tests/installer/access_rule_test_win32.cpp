// The folder rule over access lists as Windows writes them: each row's list is SDDL, turned into
// a descriptor by the system and read back by the helper's own code, then judged.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>

#include "installer/rule/folder_trust.h"
#include "installer/windows/security_win32.h"
#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin::installer {
namespace {

#define TI "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
constexpr char kWineAccount[] = "S-1-5-21-0-0-0-1000";  // Wine's one account, owner of everything

// Windows 10's defaults, as icacls and Get-Acl show them.
constexpr wchar_t kRoot[] =
    L"O:" TI "D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"
    L"(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)";
constexpr wchar_t kProgramFiles[] =
    L"O:" TI "D:PAI(A;;FA;;;" TI ")(A;CIIO;GA;;;" TI ")(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)"
    L"(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)"
    L"(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;S-1-15-2-1)(A;OICIIO;GXGR;;;S-1-15-2-1)";
// Made by an administrator under C:\, inheriting "Authenticated Users: Modify" from the root.
constexpr wchar_t kMadeUnderRoot[] =
    L"O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)"
    L"(A;ID;0x1301bf;;;AU)(A;OICIIOID;SDGXGWGR;;;AU)";
constexpr wchar_t kUsersModify[] =
    L"O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1301bf;;;BU)";
// Under Wine, from a folder's Unix mode.
constexpr wchar_t kWine777[] =
    L"O:S-1-5-21-0-0-0-1000D:(A;OICI;FA;;;SY)(A;OICI;FA;;;S-1-5-21-0-0-0-1000)"
    L"(A;OICI;0x1301ff;;;WD)";
constexpr wchar_t kWine755[] =
    L"O:S-1-5-21-0-0-0-1000D:(A;OICI;FA;;;SY)(A;OICI;FA;;;S-1-5-21-0-0-0-1000)"
    L"(A;OICI;0x1200a9;;;WD)";

EntryFacts Facts(const wchar_t* sddl, EntryFacts::Kind kind) {
  EntryFacts facts;
  facts.kind = kind;
  const win32::SecurityDescriptor descriptor(sddl);
  EXPECT_TRUE(win32::ReadSecurity(descriptor.get(), facts).ok());
  return facts;
}

TEST(AccessRule, JudgesTheListsWindowsGives) {
  using Kind = EntryFacts::Kind;
  const struct {
    const char* description;
    const wchar_t* sddl;
    const wchar_t* holder;  // the folder above, or null
    Role role;
    Kind kind;
    String problem;
  } kCases[] = {
      {"C:\\: users may make folders there, not remove any", kRoot, nullptr, Role::kAbove,
       Kind::kFolder, ""},
      {"C:\\Program Files (x86)", kProgramFiles, kRoot, Role::kAbove, Kind::kFolder, ""},
      {"a folder an administrator made under C:\\, above", kMadeUnderRoot, kRoot, Role::kAbove,
       Kind::kFolder, "lets Authenticated Users (S-1-5-11) delete or rename it"},
      {"a folder an administrator made under C:\\, kept", kMadeUnderRoot, kRoot, Role::kKept,
       Kind::kFolder,
       "lets Authenticated Users (S-1-5-11) delete or rename it, add to it, change what is made "
       "in it"},
      {"a folder with an explicit Users: Modify", kUsersModify, kProgramFiles, Role::kAbove,
       Kind::kFolder, "lets Users (S-1-5-32-545) delete or rename it"},
      {"below a folder whose Users may delete what it holds", win32::kProtectedFolderSddl,
       L"O:BAD:PAI(A;OICI;FA;;;BA)(A;;0x40;;;BU)", Role::kKept, Kind::kFolder,
       "lets Users (S-1-5-32-545) delete or rename it"},
      {"Setup's own list", win32::kProtectedFolderSddl, kProgramFiles, Role::kKept, Kind::kFolder,
       ""},
      {"Wine, mode 0777", kWine777, kWine755, Role::kKept, Kind::kFolder,
       "lets Everyone (S-1-1-0) delete or rename it, add to it, delete or rename what it holds, "
       "change what is made in it"},
      {"a runtime's lib\\ext passing Users: Modify on to what is made in it",
       L"O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICIIO;0x1301bf;;;BU)", kProgramFiles,
       Role::kKept, Kind::kFolder, "lets Users (S-1-5-32-545) change what is made in it"},
      {"Everyone denied deleting a folder only administrators can change",
       L"O:BAD:PAI(D;;SD;;;WD)(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)",
       kProgramFiles, Role::kKept, Kind::kFolder, ""},
      {"Wine, mode 0755", kWine755, kWine755, Role::kKept, Kind::kFolder, ""},
      {"a file inside with its own Users: Modify", L"O:BAD:(A;;0x1301bf;;;BU)", nullptr,
       Role::kInside, Kind::kFile, "lets Users (S-1-5-32-545) delete or rename it, change what "
                                   "it holds"},
      {"a file inside that inherited Users: Modify", L"O:BAD:AI(A;ID;0x1301bf;;;BU)", nullptr,
       Role::kInside, Kind::kFile, ""},
  };
  const TrustedAccounts trusted({"S-1-5-32-544", "S-1-5-18", TI, kWineAccount});
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    const EntryFacts facts = Facts(c.sddl, c.kind);
    const EntryFacts holder = c.holder ? Facts(c.holder, Kind::kFolder) : EntryFacts{};
    EXPECT_EQ(Problem(facts, trusted, c.role, c.kind == Kind::kFolder,
                      c.holder ? &holder : nullptr),
              c.problem);
  }
}

// Wine's SDDL parser takes no object entries: each list is put together by hand, laid out as
// Windows lays it out (the object entry's fixed part, the GUIDs present, the SID).
TEST(AccessRule, ObjectEntriesGrantOnFoldersUnlessForAnObjectType) {
  constexpr GUID kUserClass = {
      0xbf967aba, 0x0de6, 0x11d0, {0xa2, 0x85, 0x00, 0xaa, 0x00, 0x30, 0x49, 0xe2}};
  const struct {
    const char* description;
    const GUID* object_type;
    const GUID* inherited_object_type;
    String problem;
  } kCases[] = {
      {"no object type: granted on the folder", nullptr, nullptr,
       "lets Users (S-1-5-32-545) delete or rename it, add to it, change what is made in it"},
      {"only an inherited object type: granted on the folder itself", nullptr, &kUserClass,
       "lets Users (S-1-5-32-545) delete or rename it, add to it, change what is made in it"},
      {"an object type: granted on that kind of property only", &kUserClass, nullptr, ""},
  };
  const TrustedAccounts trusted({"S-1-5-32-544", "S-1-5-18", TI, kWineAccount});
  const EntryFacts holder = Facts(kProgramFiles, EntryFacts::Kind::kFolder);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    const ACCESS_ALLOWED_OBJECT_ACE fixed{
        {ACCESS_ALLOWED_OBJECT_ACE_TYPE, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, 0},
        0x1301bf,  // Modify
        (c.object_type ? ACE_OBJECT_TYPE_PRESENT : 0u) |
            (c.inherited_object_type ? ACE_INHERITED_OBJECT_TYPE_PRESENT : 0u),
        {}, {}, 0};
    const auto* start = reinterpret_cast<const unsigned char*>(&fixed);
    Vector<unsigned char> entry(start,
                                start + offsetof(ACCESS_ALLOWED_OBJECT_ACE, ObjectType));
    for (const GUID* guid : {c.object_type, c.inherited_object_type}) {
      const auto* bytes = reinterpret_cast<const unsigned char*>(guid);
      if (guid) entry.insert(entry.end(), bytes, bytes + sizeof(GUID));
    }
    unsigned char users[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(users);
    ASSERT_TRUE(::CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &size));
    entry.insert(entry.end(), users, users + size);
    reinterpret_cast<ACE_HEADER*>(entry.data())->AceSize = static_cast<WORD>(entry.size());
    alignas(DWORD) unsigned char list[256];
    auto* acl = reinterpret_cast<PACL>(list);
    SECURITY_DESCRIPTOR descriptor;
    ASSERT_TRUE(::InitializeAcl(acl, sizeof(list), ACL_REVISION_DS) &&
                ::AddAce(acl, ACL_REVISION_DS, MAXDWORD, entry.data(),
                         static_cast<DWORD>(entry.size())) &&
                ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                ::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE));
    EntryFacts facts;
    EXPECT_TRUE(win32::ReadSecurity(&descriptor, facts).ok());
    facts.kind = EntryFacts::Kind::kFolder;
    facts.owner = "S-1-5-32-544";
    EXPECT_EQ(Problem(facts, trusted, Role::kKept, true, &holder), c.problem);
  }
}

// Wine's SDDL parser makes an empty list of NO_ACCESS_CONTROL, Windows none at all.
TEST(AccessRule, NoListAtAllLetsEveryoneDoAnything) {
  SECURITY_DESCRIPTOR descriptor;
  ASSERT_TRUE(::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE));
  EntryFacts facts;
  EXPECT_TRUE(win32::ReadSecurity(&descriptor, facts).ok());
  facts.kind = EntryFacts::Kind::kFolder;
  facts.owner = "S-1-5-32-544";
  EXPECT_EQ(Problem(facts, TrustedAccounts({"S-1-5-32-544"}), Role::kAbove),
            "has no access list, so anyone can change it");
}

}  // namespace
}  // namespace tolvarin::installer
