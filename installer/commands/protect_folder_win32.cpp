#include "installer/commands/protect_folder.h"

#include <windows.h>
#include <aclapi.h>

#include <optional>
#include <utility>

#include "installer/rule/local_folder.h"
#include "installer/windows/entry_view_win32.h"
#include "installer/windows/security_win32.h"
#include "platform/function.h"
#include "platform/text.h"
#include "platform/vector.h"
#include "platform/win32_util.h"

namespace tolvarin::installer {
namespace {

using platform::win32::UniqueHandle;
using platform::win32::WideToUtf8;

constexpr char kRemoveIt[] = ": remove it, then run Setup again.";

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

// What protect-folder asks of each folder it holds: enough to judge it, to protect it, and to
// make the next folder inside through it.
constexpr DWORD kHeldAccess = READ_CONTROL | FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY |
                              FILE_TRAVERSE | SYNCHRONIZE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Whether the existing folder `path`, and everything in it, may be kept, changing nothing. A
// missing folder is fine: it will be made. `above` is what JudgeFoldersAbove found safe.
bool KeepExisting(const WString& path, const HelperContext& context, const FoldersAbove& above) {
  if (above.holder() == nullptr) return true;  // a folder above is missing, so this one is too
  UniqueHandle folder;
  const DWORD error = win32::OpenBeneath(above.held.back().handle.get(), win32::NameOf(path),
                                         READ_CONTROL | FILE_READ_ATTRIBUTES, kShareAll,
                                         FILE_OPEN, 0, nullptr, folder);
  const EntryFacts facts =
      folder.valid() ? win32::FactsOf(folder.get(), path) : win32::FactsOfFailure(error);
  if (facts.kind == EntryFacts::Kind::kMissing) return true;
  if (const String problem =
          Problem(facts, context.trusted, Role::kKept, true, above.holder());
      !problem.empty()) {
    Say(WideToUtf8(path) + " " + problem + kRemoveIt);
    return false;
  }
  return NothingOthersInside(path, context);
}

// The folder `path` made inside `parent` with `descriptor` (its list and owner) in the call that
// creates it, so that nobody else ever holds a handle to it; or, when something has that name
// by now (a folder, a file or a link), that entry opened without following and judged: as a
// folder above one Setup keeps, or, `kept`, as one Setup keeps, then given `descriptor`'s list
// and owner through that handle. The held folder, or none after saying why.
std::optional<HeldFolder> MakeOrKeepBeneath(const HeldFolder& parent, const WString& path,
                                            const HelperContext& context,
                                            const win32::SecurityDescriptor& descriptor,
                                            bool kept) {
  const WString name = win32::NameOf(path);
  const String shown = WideToUtf8(path);
  HeldFolder folder{path, {}, {}};
  win32::BeforeCreatingForTest(path);
  DWORD error = win32::OpenBeneath(parent.handle.get(), name, kHeldAccess,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_CREATE,
                                   FILE_DIRECTORY_FILE, descriptor.get(), folder.handle);
  if (error == ERROR_SUCCESS) {
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
  if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) {
    Say(shown + " cannot be made " + SystemFailure(error) + ".");
    return std::nullopt;
  }
  // Not asked to be a folder: a file there is opened too, and refused as one.
  const DWORD access = kHeldAccess | (kept ? WRITE_DAC | WRITE_OWNER : 0);
  error = win32::OpenBeneath(parent.handle.get(), name, access,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN, 0, nullptr,
                             folder.handle);
  folder.facts = error == ERROR_SUCCESS ? win32::FactsOf(folder.handle.get(), path)
                                        : win32::FactsOfFailure(error);
  if (const String problem = Problem(folder.facts, context.trusted,
                                     kept ? Role::kKept : Role::kAbove, true, &parent.facts);
      !problem.empty()) {
    Say(shown + " " + problem +
        (kept ? kRemoveIt : ", so others could put a folder of their own in its place."));
    return std::nullopt;
  }
  if (!kept) return folder;
  // Judged before its new list is set, which rewrites what everything inside inherits through
  // the paths below it; and again after.
  if (!NothingOthersInside(path, context)) return std::nullopt;
  const DWORD set =
      ::SetSecurityInfo(folder.handle.get(), SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                            PROTECTED_DACL_SECURITY_INFORMATION,
                        descriptor.owner(), nullptr, descriptor.dacl(), nullptr);
  if (set != ERROR_SUCCESS) {
    Say(shown + " cannot be protected from other users " + SystemFailure(set) + ".");
    return std::nullopt;
  }
  if (!NothingOthersInside(path, context)) return std::nullopt;
  Say("Kept " + shown + ", writable by administrators only.");
  return folder;
}

// Makes `path` and the missing folders above it, each through the handle of the folder above
// it, from the nearest existing folder the walk judged and holds; keeps `path` if it exists.
// What it made or kept, and every folder above, goes into `held`, where it stays open until the
// command ends.
bool Protect(const WString& path, const HelperContext& context,
             const win32::SecurityDescriptor& descriptor, Vector<HeldFolder>& held) {
  FoldersAbove above;
  if (!ParentsSafe(path, context, above)) return false;
  if (above.held.empty()) {
    Say(WideToUtf8(path) + " lies on no drive that can be opened: choose another folder.");
    return false;
  }
  Vector<WString> chain(above.missing.rbegin(), above.missing.rend());
  chain.push_back(path);
  for (HeldFolder& folder : above.held) held.push_back(std::move(folder));
  for (const WString& next : chain) {
    std::optional<HeldFolder> folder =
        MakeOrKeepBeneath(held.back(), next, context, descriptor, next == path);
    if (!folder) return false;
    held.push_back(std::move(*folder));
  }
  // Each folder above now holds what was made or kept in it, so none can become a link any
  // more; one that became a link before would lead later writes by path elsewhere.
  if (const WString moved = BecameLink(held); !moved.empty()) {
    Say(WideToUtf8(moved) +
        " became a link to another place while Setup worked in it: nothing more was done.");
    return false;
  }
  return true;
}

bool CheckFolder(const WString& path, const HelperContext& context) {
  FoldersAbove above;
  return ParentsSafe(path, context, above) && KeepExisting(path, context, above);
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
  Vector<WString> chain;  // nearest first
  for (WString parent = win32::ParentOf(path); !parent.empty(); parent = win32::ParentOf(parent)) {
    chain.push_back(parent);
  }
  // The root by its name (a drive's root is no link), then each folder through the one above.
  for (size_t i = chain.size(); i-- > 0;) {
    HeldFolder folder{chain[i], {}, {}};
    DWORD error = ERROR_SUCCESS;
    if (above.held.empty()) {
      folder.handle = win32::OpenEntry(folder.path, kHeldAccess, kShareAll, error);
    } else {
      error = win32::OpenBeneath(above.held.back().handle.get(), win32::NameOf(folder.path),
                                 kHeldAccess, kShareAll, FILE_OPEN, 0, nullptr, folder.handle);
    }
    folder.facts = folder.handle.valid() ? win32::FactsOf(folder.handle.get(), folder.path)
                                         : win32::FactsOfFailure(error);
    if (folder.facts.kind == EntryFacts::Kind::kMissing) {
      above.missing = Vector<WString>(chain.begin(), chain.begin() + i + 1);
      break;
    }
    above.problem = Problem(folder.facts, trusted, Role::kAbove, true,
                            above.held.empty() ? nullptr : &above.held.back().facts);
    if (!above.problem.empty()) {
      above.unsafe = folder.path;
      break;
    }
    above.held.push_back(std::move(folder));
  }
  return above;
}

WString BecameLink(const Vector<HeldFolder>& held) {
  for (const HeldFolder& folder : held) {
    if (win32::FactsOf(folder.handle.get(), folder.path).kind == EntryFacts::Kind::kLink) {
      return folder.path;
    }
  }
  return {};
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
