// A test build of TolvarinHelper: Wine shows one owner for every file, so the
// entries named in TOLVARIN_TEST_FOREIGN_OWNER (full paths, ';' between them)
// are shown as another user's, for the rule's owner checks to be seen end to
// end. tools/release.sh refuses a helper holding this variable's name.

#include <windows.h>

#include <string>

#include "installer/entry_view_win32.h"

namespace tolvarin::installer::win32 {
namespace {

std::wstring Upper(std::wstring text) {
  if (!text.empty()) ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

}  // namespace

void AdjustFactsForTest(const std::wstring& path, EntryFacts& facts) {
  wchar_t names[4096];
  const DWORD size = ::GetEnvironmentVariableW(L"TOLVARIN_TEST_FOREIGN_OWNER", names, 4096);
  if (size == 0 || size >= 4096) return;
  const std::wstring list = Upper(L";" + std::wstring(names, size) + L";");
  if (list.find(Upper(L";" + path + L";")) != std::wstring::npos) {
    facts.owner = "S-1-5-21-1-2-3-1001";
  }
}

}  // namespace tolvarin::installer::win32
