// The folder rule over access lists as Windows writes them: each row's list is SDDL, turned into
// a descriptor by the system and read back by the helper's own code, then judged.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "installer/folder_trust.h"
#include "installer/security_win32.h"

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
  win32::ReadSecurity(descriptor.get(), facts);
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
    std::string problem;
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

// Wine's SDDL parser makes an empty list of NO_ACCESS_CONTROL, Windows none at all.
TEST(AccessRule, NoListAtAllLetsEveryoneDoAnything) {
  SECURITY_DESCRIPTOR descriptor;
  ASSERT_TRUE(::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE));
  EntryFacts facts;
  win32::ReadSecurity(&descriptor, facts);
  facts.kind = EntryFacts::Kind::kFolder;
  facts.owner = "S-1-5-32-544";
  EXPECT_EQ(Problem(facts, TrustedAccounts({"S-1-5-32-544"}), Role::kAbove),
            "has no access list, so anyone can change it");
}

}  // namespace
}  // namespace tolvarin::installer
