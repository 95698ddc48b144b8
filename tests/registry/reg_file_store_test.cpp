// The export-file store's own concerns: files it must refuse, and where the machine's file
// is found.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <memory>

#include "platform/error.h"
#include "platform/text.h"
#include "platform/vector.h"
#include "registry/reg_file_registry_api.h"
#include "registry/reg_file_store.h"
#include "registry/registry.h"
#include "tests/common/error_of.h"

namespace tolvarin::registry {
namespace {

using tolvarin::testing::ErrorOf;

String Utf16(const U16String& text, bool bom = true) {
  String bytes = bom ? "\xFF\xFE" : "";
  for (const char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

// The description of the error Import raises for `contents`, or "" when it raises none.
String ImportError(const String& contents) {
  RegFileStore store;
  const platform::Outcome imported = store.Import(contents, "demo.reg");
  if (imported.ok()) return "";
  EXPECT_EQ(imported.error().number(), kMalformedRegistryFileError);
  return imported.error().description();
}

TEST(RegFileStore, RefusesMalformedFilesNamingFileLineAndFault) {
  const String head = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n";  // lines 1-2
  struct Case {
    const char* description;
    String contents;
    String error;  // the description's start
  };
  const Vector<Case> cases = {
      {"empty file", "", "demo.reg, line 1: the file is empty"},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBFREGEDIT4\r\n", "demo.reg, line 1: bad header"},
      {"UTF-16 without byte-order mark", Utf16(u"REGEDIT4\r\n", false), "demo.reg, line 1: NUL byte"},
      {"unknown root", "REGEDIT4\n\n[HKEY_LOCAL_MACHIN\\x]\n",
       "demo.reg, line 3: unknown root key \"HKEY_LOCAL_MACHIN\""},
      {"no closing ']'", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\x\n", "demo.reg, line 2: the key name"},
      {"empty key name", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\a\\\\b]\n", "demo.reg, line 2: empty key"},
      {"deleting a root", "REGEDIT4\n[-HKEY_LOCAL_MACHINE]\n", "demo.reg, line 2: a root key"},
      {"value before any key", "REGEDIT4\n\"a\"=\"b\"\n", "demo.reg, line 2: a value line, but no key"},
      {"dword of 9 digits", head + "\"a\"=dword:123456789\r\n", "demo.reg, line 3: dword:"},
      {"type tags are case-sensitive", head + "\"a\"=DWORD:1\r\n", "demo.reg, line 3: unknown value type"},
      {"bad hex( type", head + "\"a\"=hex(0x2):00\r\n", "demo.reg, line 3: hex("},
      {"hex byte of 3 digits", head + "\"a\"=hex:1,234\r\n", "demo.reg, line 3: bad hex byte"},
      {"unclosed quote in data", head + "\"a\"=\"abc\r\n", "demo.reg, line 3: unclosed quote in the string"},
      {"escape \\0", head + "\"a\"=\"x\\0y\"\r\n", "demo.reg, line 3: the escape \\0"},
      {"hex data whose backslash was lost", head + "\"a\"=hex:01,02,\r\n  03,04\r\n",
       "demo.reg, line 4: stray continuation"},
      {"continuation into a key line",
       head + "\"a\"=hex:01,\\\r\n[HKEY_LOCAL_MACHINE\\x]\r\n", "demo.reg, line 4: stray continuation"},
      {"truncated inside continued hex data", head + "\"a\"=hex:01,\\\r\n",
       "demo.reg, line 3: the file ends inside hex data"},
      {"truncated UTF-16", Utf16(u"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\x]\r\n\"a\"=\"b\"") + String(1, '\0'),
       "demo.reg, line 3: the file is truncated"},
      {"unpaired surrogate", Utf16(u"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\x]\r\n\"a\"=\"\xD800\"\r\n"),
       "demo.reg, line 3: invalid UTF-16"},
      {"odd-sized UTF-16 string data",
       Utf16(u"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\x]\r\n\"a\"=hex(1):61,00,62\r\n"),
       "demo.reg, line 3: UTF-16 string data"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    EXPECT_EQ(ImportError(c.contents).substr(0, c.error.size()), c.error);
  }
}

TEST(RegistryFile, PathComesFromTheEnvironmentUnlessUnsetOrEmpty) {
  for (const char* value : {static_cast<const char*>(nullptr), ""}) {
    value ? ::setenv(kRegistryFileVariable, value, 1) : ::unsetenv(kRegistryFileVariable);
    EXPECT_EQ(RegistryFilePath(), "/etc/tolvarin/registry.reg");
  }
  ::unsetenv(kRegistryFileVariable);
}

TEST(RegistryFile, MissingFileIsEmptyAndAnUnreadableOrMalformedOneAnErrorNamingIt) {
  char pattern[] = "/tmp/tolvarin-registry-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const String dir = pattern;
  RegFileRegistryApi api(std::make_shared<RegFileStore>(*LoadRegFileStore(dir + "/absent.reg")));
  const SubkeyList list = *ListRegistrySubkeys(api, kHkeyLocalMachine, "");
  EXPECT_EQ(list.begin(), list.end());
  EXPECT_EQ(ErrorOf(LoadRegFileStore(dir)),
            DecimalString(EISDIR) + " Cannot read the registry file " + dir + ": Is a directory");
  const String bad = dir + "/bad.reg";
  std::ofstream(bad.c_str(), std::ios::binary) << "REGEDIT4\n\n\n[HKEY_NOWHERE]\n";
  const String named = DecimalString(kMalformedRegistryFileError) + " " + bad + ", line 4:";
  EXPECT_EQ(ErrorOf(LoadRegFileStore(bad)).substr(0, named.size()), named);
  ::unlink(bad.c_str());
  ::rmdir(dir.c_str());
}

}  // namespace
}  // namespace tolvarin::registry
