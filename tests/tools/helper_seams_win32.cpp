// A test build of TolvarinHelper, for what Wine cannot show by itself. Wine shows one owner for
// every file, so the entries named in TOLVARIN_TEST_FOREIGN_OWNER (full paths, ';' between
// them) are shown as another user's, for the rule's owner checks to be seen end to end. And a
// user racing Setup is played by the test: where Setup is about to create the path named in
// TOLVARIN_TEST_RACE, after judging its place, this build makes "<path>.racing" and waits (a
// minute at most) for "<path>.raced", which the test makes once it has planted its link.
// tools/release.sh refuses a helper holding the first variable's name.

#include <windows.h>

#include "installer/windows/entry_view_win32.h"
#include "platform/text.h"

namespace tolvarin::installer::win32 {
namespace {

WString Upper(WString text) {
  if (!text.empty()) ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

WString Variable(const wchar_t* name) {
  wchar_t value[4096];
  const DWORD size = ::GetEnvironmentVariableW(name, value, 4096);
  return size == 0 || size >= 4096 ? WString() : WString(value, size);
}

}  // namespace

void AdjustFactsForTest(const WString& path, EntryFacts& facts) {
  const WString names = Variable(L"TOLVARIN_TEST_FOREIGN_OWNER");
  if (names.empty()) return;
  const WString list = Upper(L";" + names + L";");
  if (list.find(Upper(L";" + path + L";")) != WString::npos) {
    facts.owner = "S-1-5-21-1-2-3-1001";
  }
}

void BeforeCreatingForTest(const WString& path) {
  const WString named = Variable(L"TOLVARIN_TEST_RACE");
  if (named.empty() || Upper(named) != Upper(path)) return;
  const WString racing = path + L".racing";
  const WString raced = path + L".raced";
  // As the administrator: a new file, never through a link someone put at the name.
  const HANDLE signal = ::CreateFileW(racing.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                     nullptr);
  if (signal != INVALID_HANDLE_VALUE) ::CloseHandle(signal);
  for (int tries = 0; tries < 1200 && ::GetFileAttributesW(raced.c_str()) ==
                                          INVALID_FILE_ATTRIBUTES; ++tries) {
    ::Sleep(50);
  }
  ::DeleteFileW(racing.c_str());
  ::DeleteFileW(raced.c_str());
}

}  // namespace tolvarin::installer::win32
