#include "installer/protect_folder.h"

#include <windows.h>
#include <aclapi.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "installer/entry_view_win32.h"
#include "installer/local_folder.h"
#include "installer/security_win32.h"
#include "platform/win32_util.h"

namespace tolvarin::installer {
namespace {

using platform::win32::UniqueHandle;
using platform::win32::WideToUtf8;

constexpr char kRemoveIt[] = ": remove it, then run Setup again.";

std::function<void(const std::wstring&)>& MadeFolderSink() {
  static std::function<void(const std::wstring&)> sink;
  return sink;
}

// Whether the existing folders above `path` are safe: whoever can remove, rename or
// re-permission one (or owns it) could move it away and put a folder of their own, holding
// anything, in place of `path`. What is missing and what holds `path` go into `above`.
bool ParentsSafe(const std::wstring& path, const HelperContext& context, FoldersAbove& above) {
  above = JudgeFoldersAbove(path, context.trusted);
  if (above.unsafe.empty()) return true;
  Say(WideToUtf8(above.unsafe) + " " + above.problem +
      ", so others could put a folder of their own in place of " + WideToUtf8(path) +
      ": let only administrators change it, or choose another folder.");
  return false;
}

// Whether the existing folder `path`, and everything in it, may be kept. With `protect`, the
// folder gets that list through the handle it was judged by, which shares no deletion (so the
// folder cannot be moved away, and another put in its place, meanwhile), and what is inside is
// judged after that, on its own entries, the inherited ones being Setup's by then. Without
// `protect` a missing folder is fine (it will be made), and what is inside is judged on its own
// entries all the same.
bool KeepExisting(const std::wstring& path, const HelperContext& context,
                  const win32::SecurityDescriptor* protect, const EntryFacts* holder) {
  const std::string name = WideToUtf8(path);
  const DWORD access =
      READ_CONTROL | FILE_READ_ATTRIBUTES | (protect ? WRITE_DAC | WRITE_OWNER : 0);
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | (protect ? 0 : FILE_SHARE_DELETE);
  DWORD error = ERROR_SUCCESS;
  const UniqueHandle folder = win32::OpenEntry(path, access, share, error);
  const EntryFacts facts =
      folder.valid() ? win32::FactsOf(folder.get(), path) : win32::FactsOfFailure(error);
  if (!protect && facts.kind == EntryFacts::Kind::kMissing) return true;
  if (const std::string problem = Problem(facts, context.trusted, Role::kKept, true, holder);
      !problem.empty()) {
    Say(name + " " + problem + kRemoveIt);
    return false;
  }
  if (protect) {
    const DWORD set = ::SetSecurityInfo(folder.get(), SE_FILE_OBJECT,
                                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                            PROTECTED_DACL_SECURITY_INFORMATION,
                                        protect->owner(), nullptr, protect->dacl(), nullptr);
    if (set != ERROR_SUCCESS) {
      Say(name + " cannot be protected from other users " + SystemFailure(set) + ".");
      return false;
    }
  }
  win32::WindowsEntryView view;
  if (const std::string problem = FirstProblemInside(view, name, context.trusted);
      !problem.empty()) {
    Say(problem + kRemoveIt);
    return false;
  }
  if (protect) Say("Kept " + name + ", writable by administrators only.");
  return true;
}

// Makes the folder with the list and owner in the call that creates it, so that nobody else
// ever holds a handle to it; ERROR_SUCCESS, or why not.
DWORD Make(const std::wstring& path, const win32::SecurityDescriptor& descriptor) {
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
  if (!::CreateDirectoryW(path.c_str(), &attributes)) return ::GetLastError();
  if (MadeFolderSink()) MadeFolderSink()(path);
  Say("Made " + WideToUtf8(path) + ", writable by administrators only.");
  return ERROR_SUCCESS;
}

bool Protect(const std::wstring& path, const HelperContext& context,
             const win32::SecurityDescriptor& descriptor) {
  FoldersAbove above;
  if (!ParentsSafe(path, context, above)) return false;
  for (auto parent = above.missing.rbegin(); parent != above.missing.rend(); ++parent) {
    const DWORD error = Make(*parent, descriptor);
    if (error == ERROR_ALREADY_EXISTS) {
      // Made by someone else since it was checked: judged as the folders above are.
      FoldersAbove again;
      if (!ParentsSafe(path, context, again)) return false;
    } else if (error != ERROR_SUCCESS) {
      Say(WideToUtf8(*parent) + " cannot be made " + SystemFailure(error) + ".");
      return false;
    }
  }
  const DWORD error = Make(path, descriptor);
  if (error == ERROR_ALREADY_EXISTS) {
    return KeepExisting(path, context, &descriptor, above.holder ? &*above.holder : nullptr);
  }
  if (error != ERROR_SUCCESS) {
    Say(WideToUtf8(path) + " cannot be made " + SystemFailure(error) + ".");
    return false;
  }
  return true;
}

bool CheckFolder(const std::wstring& path, const HelperContext& context) {
  FoldersAbove above;
  return ParentsSafe(path, context, above) &&
         KeepExisting(path, context, nullptr, above.holder ? &*above.holder : nullptr);
}

// Whether every folder named is an absolute path on a local fixed drive; says why not. All are
// judged before the first is made: nothing changes for a bad one later on the line.
bool AllLocal(const std::vector<std::wstring>& paths) {
  for (const std::wstring& path : paths) {
    std::string problem = LocalFolderProblem(WideToUtf8(path));
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

int CheckFolders(const std::vector<std::wstring>& arguments, const HelperContext& context) {
  if (arguments.empty()) return kUsage;
  if (!AllLocal(arguments)) return kRefused;
  for (const std::wstring& argument : arguments) {
    if (!CheckFolder(win32::WithoutTrailingSeparators(argument), context)) return kRefused;
  }
  return kDone;
}

int ProtectFolders(const std::vector<std::wstring>& arguments, const HelperContext& context) {
  if (arguments.empty()) return kUsage;
  if (!AllLocal(arguments)) return kRefused;
  const win32::SecurityDescriptor descriptor(win32::kProtectedFolderSddl);
  for (const std::wstring& argument : arguments) {
    if (!Protect(win32::WithoutTrailingSeparators(argument), context, descriptor)) return kRefused;
  }
  return kDone;
}

}  // namespace

FoldersAbove JudgeFoldersAbove(const std::wstring& path, const TrustedAccounts& trusted) {
  FoldersAbove above;
  win32::WindowsEntryView view;
  std::vector<std::pair<std::wstring, EntryFacts>> existing;  // nearest first
  for (std::wstring parent = win32::ParentOf(path); !parent.empty();
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

void SetMadeFolderSink(std::function<void(const std::wstring& path)> sink) {
  MadeFolderSink() = std::move(sink);
}

bool FolderTrusted(const std::wstring& path, const HelperContext& context) {
  return CheckFolder(win32::WithoutTrailingSeparators(path), context);
}

const HelperCommand kCheckFolderCommand{L"check-folder", "PATH...", CheckFolders};
const HelperCommand kProtectFolderCommand{L"protect-folder", "PATH...", ProtectFolders};

}  // namespace tolvarin::installer
