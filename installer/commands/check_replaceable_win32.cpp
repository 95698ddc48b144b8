#include "installer/commands/check_replaceable.h"

#include <windows.h>

#include "installer/windows/entry_view_win32.h"
#include "platform/text.h"
#include "platform/vector.h"
#include "platform/win32_util.h"

namespace tolvarin::installer {
namespace {

using platform::win32::UniqueHandle;
using platform::win32::WideToUtf8;

// A virus scanner's look at a file takes a moment; a server holds its files for good.
constexpr int kAttempts = 4;
constexpr DWORD kPauseMs = 250;

int CheckReplaceable(const Vector<WString>& arguments, const HelperContext& context) {
  if (arguments.size() < 2) return kUsage;
  bool in_use = false;
  bool refused = false;
  for (auto name = arguments.begin() + 1; name != arguments.end(); ++name) {
    const WString& folder = arguments.front();
    const bool separated = !folder.empty() && folder.back() == L'\\';
    const WString path = folder + (separated ? L"" : L"\\") + *name;
    const String shown = WideToUtf8(path);
    DWORD error = ERROR_SUCCESS;
    UniqueHandle file;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
      // No sharing at all: the open fails while anyone else has the file open, whatever they share.
      file.reset(
          win32::OpenEntry(path, DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES, 0, error).release());
      if (error != ERROR_SHARING_VIOLATION) break;
      if (attempt < kAttempts) ::Sleep(kPauseMs);
    }
    if (file.valid()) {
      const EntryFacts facts = win32::FactsOf(file.get(), path);
      const String problem = Problem(facts, context.trusted, Role::kInside, /*folder=*/false);
      if (problem.empty()) continue;
      refused = true;
      Say(shown + " " + problem + ": remove it, then run Setup again.");
    } else if (error == ERROR_SHARING_VIOLATION) {
      in_use = true;
      Say(shown +
          " is in use: stop the server (and whatever else has it open), then run Setup again.");
    } else if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      refused = true;
      Say(shown + " cannot be replaced " + SystemFailure(error) + ".");
    }
  }
  return refused ? kRefused : in_use ? kInUse : kDone;
}

}  // namespace

const HelperCommand kCheckReplaceableCommand{L"check-replaceable", "FOLDER NAME...",
                                             CheckReplaceable};

}  // namespace tolvarin::installer
