#include "installer/protect_folder.h"

#include <windows.h>
#include <aclapi.h>
#include <winternl.h>

#include <optional>
#include <utility>

#include "installer/entry_view_win32.h"
#include "installer/local_folder.h"
#include "installer/security_win32.h"
#include "platform/function.h"
#include "platform/text.h"
#include "platform/vector.h"
#include "platform/win32_util.h"

namespace tolvarin::installer {
namespace {

using platform::win32::UniqueHandle;
using platform::win32::WideToUtf8;

constexpr char kRemoveIt[] = ": remove it, then run Setup again.";

// NtCreateFile's answer when the name exists; ntstatus.h would clash with windows.h.
constexpr NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035L);

using MadeFolderSinkFunction = Function<platform::Outcome(const WString&, HANDLE)>;

// Process-wide, so constant-initialised at namespace scope: a function-local static would take
// a guard, whose libstdc++ code throws.
constinit MadeFolderSinkFunction made_folder_sink;

MadeFolderSinkFunction& MadeFolderSink() { return made_folder_sink; }

// Whether the existing folders above `path` are safe: whoever can remove, rename or
// re-permission one (or owns it) could move it away and put a folder of their own, holding
// anything, in place of `path`. What is missing and what holds `path` go into `above`.
bool ParentsSafe(const WString& path, const HelperContext& context, FoldersAbove& above) {
  above = JudgeFoldersAbove(path, context.trusted);
  if (above.unsafe.empty()) return true;
  Say(WideToUtf8(above.unsafe) + " " + above.problem +
      ", so others could put a folder of their own in place of " + WideToUtf8(path) +
      ": let only administrators change it, or choose another folder.");
  return false;
}

// Judges what is inside the kept folder `path` on its own entries; says the first problem.
bool NothingOthersInside(const WString& path, const HelperContext& context) {
  win32::WindowsEntryView view;
  if (const String problem = FirstProblemInside(view, WideToUtf8(path), context.trusted);
      !problem.empty()) {
    Say(problem + kRemoveIt);
    return false;
  }
  return true;
}

// Whether the existing folder `path`, and everything in it, may be kept, changing nothing. A
// missing folder is fine: it will be made.
bool KeepExisting(const WString& path, const HelperContext& context,
                  const EntryFacts* holder) {
  DWORD error = ERROR_SUCCESS;
  const UniqueHandle folder =
      win32::OpenEntry(path, READ_CONTROL | FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, error);
  const EntryFacts facts =
      folder.valid() ? win32::FactsOf(folder.get(), path) : win32::FactsOfFailure(error);
  if (facts.kind == EntryFacts::Kind::kMissing) return true;
  if (const String problem = Problem(facts, context.trusted, Role::kKept, true, holder);
      !problem.empty()) {
    Say(WideToUtf8(path) + " " + problem + kRemoveIt);
    return false;
  }
  return NothingOthersInside(path, context);
}

// A folder held open, without delete sharing once Setup made or protected it, so that nobody
// moves it away and puts another in its place while protect-folder works in it.
struct HeldFolder {
  WString path;
  UniqueHandle handle;
  EntryFacts facts;
};

// What protect-folder asks of each folder it holds: enough to judge it, to protect it, and to
// make the next folder inside through it.
constexpr DWORD kHeldAccess = READ_CONTROL | FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY |
                              FILE_TRAVERSE | SYNCHRONIZE;

// Opens or creates the entry `name` inside the folder open through `parent`, relative to that
// handle and never following a link at `name`: what the name leads to is what the call opens.
NTSTATUS OpenBeneath(HANDLE parent, const WString& name, DWORD access, DWORD share,
                     ULONG disposition, ULONG options, PSECURITY_DESCRIPTOR descriptor,
                     UniqueHandle& opened) {
  UNICODE_STRING text;
  text.Buffer = const_cast<wchar_t*>(name.c_str());
  text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  text.MaximumLength = text.Length;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, parent, descriptor);
  IO_STATUS_BLOCK io{};
  HANDLE handle = nullptr;
  const NTSTATUS status = ::NtCreateFile(
      &handle, access, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share, disposition,
      options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  opened.reset(NT_SUCCESS(status) ? handle : nullptr);
  return status;
}

String NtFailure(NTSTATUS status) { return SystemFailure(::RtlNtStatusToDosError(status)); }

// The folder `path` made inside `parent` with `descriptor` (its list and owner) in the call that
// creates it, so that nobody else ever holds a handle to it; or, when something has that name
// by now (a folder, a file or a link), that entry opened without following and judged: as a
// folder above one Setup keeps, or, `kept`, as one Setup keeps, then given `descriptor`'s list
// and owner through that handle. The held folder, or none after saying why.
std::optional<HeldFolder> MakeOrKeepBeneath(const HeldFolder& parent, const WString& path,
                                            const HelperContext& context,
                                            const win32::SecurityDescriptor& descriptor,
                                            bool kept) {
  const WString name = path.substr(path.find_last_of(L'\\') + 1);
  const String shown = WideToUtf8(path);
  HeldFolder folder{path, {}, {}};
  win32::BeforeCreatingForTest(path);
  NTSTATUS status =
      OpenBeneath(parent.handle.get(), name, kHeldAccess, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  FILE_CREATE, FILE_DIRECTORY_FILE, descriptor.get(), folder.handle);
  if (NT_SUCCESS(status)) {
    if (MadeFolderSink()) {
      if (const platform::Outcome noted = MadeFolderSink()(path, folder.handle.get());
          !noted.ok()) {
        Say(noted.error().description() + ".");
        return std::nullopt;
      }
    }
    Say("Made " + shown + ", writable by administrators only.");
    folder.facts = win32::FactsOf(folder.handle.get(), path);
    return folder;
  }
  if (status != kNameCollision) {
    Say(shown + " cannot be made " + NtFailure(status) + ".");
    return std::nullopt;
  }
  // Not asked to be a folder: a file there is opened too, and refused as one.
  const DWORD access = kHeldAccess | (kept ? WRITE_DAC | WRITE_OWNER : 0);
  status = OpenBeneath(parent.handle.get(), name, access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       FILE_OPEN, 0, nullptr, folder.handle);
  folder.facts = NT_SUCCESS(status) ? win32::FactsOf(folder.handle.get(), path)
                                    : win32::FactsOfFailure(::RtlNtStatusToDosError(status));
  if (const String problem = Problem(folder.facts, context.trusted,
                                     kept ? Role::kKept : Role::kAbove, true, &parent.facts);
      !problem.empty()) {
    Say(shown + " " + problem +
        (kept ? kRemoveIt : ", so others could put a folder of their own in its place."));
    return std::nullopt;
  }
  if (!kept) return folder;
  const DWORD set =
      ::SetSecurityInfo(folder.handle.get(), SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                            PROTECTED_DACL_SECURITY_INFORMATION,
                        descriptor.owner(), nullptr, descriptor.dacl(), nullptr);
  if (set != ERROR_SUCCESS) {
    Say(shown + " cannot be protected from other users " + SystemFailure(set) + ".");
    return std::nullopt;
  }
  // Judged after it is protected: the entries inside inherit Setup's by then.
  if (!NothingOthersInside(path, context)) return std::nullopt;
  Say("Kept " + shown + ", writable by administrators only.");
  return folder;
}

// Makes `path` and the missing folders above it, each through the handle of the folder above
// it, from the nearest existing folder the walk judged; keeps `path` if it exists. What it made
// or kept goes into `held`, where it stays open until the command ends.
bool Protect(const WString& path, const HelperContext& context,
             const win32::SecurityDescriptor& descriptor, Vector<HeldFolder>& held) {
  FoldersAbove above;
  if (!ParentsSafe(path, context, above)) return false;
  HeldFolder base{above.missing.empty() ? win32::ParentOf(path)
                                        : win32::ParentOf(above.missing.back()),
                  {}, {}};
  DWORD error = ERROR_SUCCESS;
  base.handle = win32::OpenEntry(base.path, kHeldAccess,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, error);
  base.facts = base.handle.valid() ? win32::FactsOf(base.handle.get(), base.path)
                                   : win32::FactsOfFailure(error);
  if (base.facts.kind != EntryFacts::Kind::kFolder) {
    // Judged a moment ago: only an administrator can have changed it since.
    Say(WideToUtf8(base.path) + " " +
        Problem(base.facts, context.trusted, Role::kAbove, true) + kRemoveIt);
    return false;
  }
  Vector<WString> chain(above.missing.rbegin(), above.missing.rend());
  chain.push_back(path);
  held.push_back(std::move(base));
  for (const WString& next : chain) {
    std::optional<HeldFolder> folder =
        MakeOrKeepBeneath(held.back(), next, context, descriptor, next == path);
    if (!folder) return false;
    held.push_back(std::move(*folder));
  }
  return true;
}

bool CheckFolder(const WString& path, const HelperContext& context) {
  FoldersAbove above;
  return ParentsSafe(path, context, above) &&
         KeepExisting(path, context, above.holder ? &*above.holder : nullptr);
}

// Whether every folder named is an absolute path on a local fixed drive; says why not. All are
// judged before the first is made: nothing changes for a bad one later on the line.
bool AllLocal(const Vector<WString>& paths) {
  for (const WString& path : paths) {
    String problem = LocalFolderProblem(WideToUtf8(path));
    if (problem.empty()) {
      const UINT type = ::GetDriveTypeW(path.substr(0, 3).c_str());
      if (type != DRIVE_FIXED) problem = "is not on a local fixed drive";
    }
    if (!problem.empty()) {
      Say(WideToUtf8(path) + " " + problem + ": nothing was changed.");
      return false;
    }
  }
  return true;
}

int CheckFolders(const Vector<WString>& arguments, const HelperContext& context) {
  if (arguments.empty()) return kUsage;
  if (!AllLocal(arguments)) return kRefused;
  for (const WString& argument : arguments) {
    if (!CheckFolder(win32::WithoutTrailingSeparators(argument), context)) return kRefused;
  }
  return kDone;
}

int ProtectFolders(const Vector<WString>& arguments, const HelperContext& context) {
  if (arguments.empty()) return kUsage;
  if (!AllLocal(arguments)) return kRefused;
  const win32::SecurityDescriptor descriptor(win32::kProtectedFolderSddl);
  if (!descriptor.valid()) {
    Say(descriptor.failure().description());
    return kFailed;
  }
  Vector<HeldFolder> held;
  for (const WString& argument : arguments) {
    if (!Protect(win32::WithoutTrailingSeparators(argument), context, descriptor, held)) {
      return kRefused;
    }
  }
  return kDone;
}

}  // namespace

FoldersAbove JudgeFoldersAbove(const WString& path, const TrustedAccounts& trusted) {
  FoldersAbove above;
  win32::WindowsEntryView view;
  Vector<std::pair<WString, EntryFacts>> existing;  // nearest first
  for (WString parent = win32::ParentOf(path); !parent.empty();
       parent = win32::ParentOf(parent)) {
    EntryFacts facts = view.Inspect(WideToUtf8(parent));
    if (facts.kind == EntryFacts::Kind::kMissing) {
      above.missing.push_back(parent);
    } else {
      existing.emplace_back(parent, std::move(facts));
    }
  }
  // A folder that exists lies in one that exists: the next one up is its parent.
  for (size_t i = 0; i < existing.size() && above.unsafe.empty(); ++i) {
    const EntryFacts* parent = i + 1 < existing.size() ? &existing[i + 1].second : nullptr;
    above.problem = Problem(existing[i].second, trusted, Role::kAbove, true, parent);
    if (!above.problem.empty()) above.unsafe = existing[i].first;
  }
  if (above.missing.empty() && !existing.empty()) above.holder = existing.front().second;
  return above;
}

void SetMadeFolderSink(Function<platform::Outcome(const WString& path, HANDLE folder)> sink) {
  MadeFolderSink() = std::move(sink);
}

bool FolderTrusted(const WString& path, const HelperContext& context) {
  return CheckFolder(win32::WithoutTrailingSeparators(path), context);
}

const HelperCommand kCheckFolderCommand{L"check-folder", "PATH...", CheckFolders};
const HelperCommand kProtectFolderCommand{L"protect-folder", "PATH...", ProtectFolders};

}  // namespace tolvarin::installer
