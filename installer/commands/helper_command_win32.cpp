#include "installer/commands/helper_command.h"

#include <windows.h>

#include <utility>

#include "installer/commands/check_replaceable.h"
#include "installer/commands/place_file.h"
#include "installer/commands/prepare_runtime.h"
#include "installer/commands/protect_folder.h"
#include "installer/commands/uninstall.h"
#include "installer/rule/local_folder.h"
#include "installer/windows/entry_view_win32.h"
#include "installer/windows/security_win32.h"
#include "platform/win32_util.h"

namespace tolvarin::installer {
namespace {

using platform::win32::UniqueHandle;
using platform::win32::WideToUtf8;

// Says its arguments, as one line: Setup's own lines reach --log this way, never through a file
// Setup opens itself.
int Note(const Vector<WString>& arguments, const HelperContext&) {
  WString text;
  for (const WString& argument : arguments) text += (text.empty() ? L"" : L" ") + argument;
  Say(WideToUtf8(text));
  return kDone;
}
const HelperCommand kNoteCommand{L"note", "TEXT...", Note};

// One line per command; a new command adds its own.
const HelperCommand* const kCommands[] = {
    &kNoteCommand,
    &kCheckFolderCommand,
    &kProtectFolderCommand,
    &kCheckReplaceableCommand,
    &kPlaceCommand,
    &kPrepareRuntimeCommand,
    &kUninstallCommand,
};

// Where what the process says goes: one output per process, like standard output itself.
struct Transcript {
  bool marked = false;  // the byte-order mark has gone to standard output
  UniqueHandle log;     // --log FILE, appended to
  WString unsaid;  // said with no standard output, for ShowWhatWasSaid
};

// Process-wide, so constant-initialised at namespace scope: a function-local static would take
// a guard, whose libstdc++ code throws.
constinit Transcript the_transcript;

Transcript& TheTranscript() { return the_transcript; }

// Why the log at `path` may not be written, or empty: see RunHelperCommand. The folders above
// it, held, go into `above`.
String LogPlaceProblem(const WString& path, const HelperContext& context, FoldersAbove& above) {
  String problem = LocalFolderProblem(WideToUtf8(path));
  if (!problem.empty()) return problem;
  if (win32::WindowsEntryView().Inspect(WideToUtf8(path)).kind == EntryFacts::Kind::kLink) {
    return "is a link to another place";
  }
  above = JudgeFoldersAbove(path, context.trusted);
  if (!above.missing.empty()) {
    return "lies in " + WideToUtf8(above.missing.front()) + ", which does not exist";
  }
  if (!above.unsafe.empty()) {
    return "lies in " + WideToUtf8(above.unsafe) + ", which " + above.problem;
  }
  return {};
}

// Opens the log for appending once its place is judged, then judges the file through that
// handle: one someone else put there (another owner, another name of some other file, one others
// may write) is not written.
int OpenLog(const WString& path, const HelperContext& context) {
  FoldersAbove above;
  String problem = LogPlaceProblem(path, context, above);
  UniqueHandle log;
  if (problem.empty()) {
    // A new file first, in the folder held by the walk and never following a link at its name:
    // creating one where a name exists fails whatever it is, so a link planted since the place
    // was judged is opened as itself below and refused, and what it leads to is neither created
    // nor written.
    constexpr DWORD kAccess = FILE_APPEND_DATA | READ_CONTROL | FILE_READ_ATTRIBUTES;
    const win32::SecurityDescriptor descriptor(win32::kProtectedFileSddl);
    const HANDLE folder = above.held.back().handle.get();
    win32::BeforeCreatingForTest(path);
    DWORD error = static_cast<DWORD>(descriptor.valid() ? 0 : descriptor.failure().number());
    if (descriptor.valid()) {
      error = win32::OpenBeneath(folder, win32::NameOf(path), kAccess, FILE_SHARE_READ, FILE_CREATE,
                                 FILE_NON_DIRECTORY_FILE, descriptor.get(), log);
    }
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
      error = win32::OpenBeneath(folder, win32::NameOf(path), kAccess, FILE_SHARE_READ, FILE_OPEN,
                                 FILE_NON_DIRECTORY_FILE, nullptr, log);
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!log.valid()) {
      problem = "cannot be opened " + SystemFailure(error);
    } else if (!::GetFileInformationByHandle(log.get(), &information)) {
      problem = "cannot be checked " + SystemFailure(::GetLastError());
    } else if (problem = Problem(win32::FactsOf(log.get(), path), context.trusted, Role::kKept,
                                 /*folder=*/false);
               problem.empty() && information.nNumberOfLinks != 1) {
      problem = "is one of several names of one file";
    } else if (const WString moved = BecameLink(above.held); problem.empty() && !moved.empty()) {
      problem = "lies in " + WideToUtf8(moved) + ", which became a link to another place";
    }
  }
  if (!problem.empty()) {
    Say("The log " + WideToUtf8(path) + " " + problem +
        ": nothing was done. Name a log in a folder where only administrators can create "
        "files.");
    return kLogRefused;
  }
  LARGE_INTEGER size{};
  DWORD written = 0;
  if (::GetFileSizeEx(log.get(), &size) && size.QuadPart == 0) {
    ::WriteFile(log.get(), L"\xFEFF", sizeof(wchar_t), &written, nullptr);
  }
  TheTranscript().log.reset(log.release());
  return kDone;
}

constinit Function<void(const String&)> say_sink;  // as the_transcript

Function<void(const String&)>& SaySink() { return say_sink; }

void SayUsage() {
  Say("usage: TolvarinHelper [--log FILE] <command> <argument>...");
  for (const HelperCommand* command : kCommands) {
    Say("  " + WideToUtf8(command->name) + " " + command->arguments);
  }
}

}  // namespace

platform::Result<HelperContext> MakeHelperContext() {
  platform::Result<TrustedAccounts> trusted = win32::TrustedAccountsOfSetup();
  if (!trusted.ok()) return trusted.error();
  return HelperContext{std::move(trusted).value()};
}

int RunHelperCommand(const Vector<WString>& arguments, const HelperContext& context) {
  auto first = arguments.begin();
  if (arguments.size() >= 2 && arguments[0] == L"--log") {
    if (const int status = OpenLog(arguments[1], context); status != kDone) return status;
    first += 2;
  }
  for (const HelperCommand* command : kCommands) {
    if (first == arguments.end() || *first != command->name) continue;
    const int status = command->run({first + 1, arguments.end()}, context);
    if (status != kUsage) return status;
    break;
  }
  SayUsage();
  return kUsage;
}

String SystemFailure(unsigned long error) {
  return ErrorNote(static_cast<long>(error), platform::win32::SystemErrorText(error));
}

void SetSaySink(Function<void(const String& line)> sink) { SaySink() = std::move(sink); }

void Say(const String& line) {
  if (SaySink()) {
    SaySink()(line);
    return;
  }
  Transcript& transcript = TheTranscript();
  const WString text = platform::win32::Utf8ToWideShown(line) + L"\r\n";
  DWORD written = 0;
  if (transcript.log.valid()) {
    ::WriteFile(transcript.log.get(), text.data(),
                static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
  }
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (out == nullptr || out == INVALID_HANDLE_VALUE) {
    transcript.unsaid += text;
  } else if (::GetConsoleMode(out, &mode)) {
    ::WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    const WString bytes = transcript.marked ? text : L"\xFEFF" + text;
    transcript.marked = true;
    ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size() * sizeof(wchar_t)), &written,
                nullptr);
  }
}

void ShowWhatWasSaid() {
  const WString& unsaid = TheTranscript().unsaid;
  if (!unsaid.empty()) ::MessageBoxW(nullptr, unsaid.c_str(), L"Tolvarin", MB_OK);
}

}  // namespace tolvarin::installer
