#include "installer/commands/prepare_runtime.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "installer/commands/place_file.h"
#include "installer/rule/runtime_report.h"
#include "installer/windows/entry_view_win32.h"
#include "javaruntime/comm_support_files.h"
#include "javaruntime/prepare_java_runtime.h"
#include "javaruntime/support_location.h"
#include "platform/error.h"
#include "platform/text.h"
#include "platform/vector.h"
#include "platform/win32_util.h"

namespace tolvarin::installer {
namespace {

using platform::win32::UniqueHandle;
using platform::win32::Utf8ToWide;
using platform::win32::WideToUtf8;

// The runtime's folders as Setup may write into them: its home and each of bin, lib and lib\ext
// opened without following a link and kept open without delete sharing until the copy is done,
// so that none can be renamed away and replaced by a link meanwhile; judged as Setup judges its
// own: the folders written into as kept ones (what is made in them included), the home as a
// folder above them, owner and list. A folder that is missing is left to the copy, which fails
// there as the launcher's does.
class HeldRuntimeFolders final : public javaruntime::SupportFolderGate {
 public:
  explicit HeldRuntimeFolders(const TrustedAccounts& trusted) : trusted_(trusted) {}

  platform::Result<Vector<String>> Judge(const Vector<String>& directories) override {
    Vector<WString> folders;
    for (const String& directory : directories) {
      const platform::Result<WString> folder = Utf8ToWide(directory);
      if (!folder.ok()) return folder.error();
      folders.push_back(win32::WithoutTrailingSeparators(*folder));
    }
    // lib before lib\ext, so that each folder's holder is judged and held first.
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    Vector<String> problems;
    for (const WString& folder : folders) {
      const WString holder = win32::ParentOf(folder);
      const EntryFacts* facts = Judged(holder);
      Hold(folder, Role::kKept, facts ? facts : Hold(holder, Role::kAbove, nullptr, problems),
           problems);
    }
    return problems;
  }

 private:
  const EntryFacts* Judged(const WString& path) const {
    for (const auto& judged : judged_) {
      if (judged->path == path) return &judged->facts;
    }
    return nullptr;
  }

  // Opens the folder at `path`, judges it in `role` (`holder`: the folder holding it, for its
  // right to delete what it holds; the home's is looked up) and holds it; its facts, or null
  // when it is missing.
  const EntryFacts* Hold(const WString& path, Role role, const EntryFacts* holder,
                         Vector<String>& problems) {
    DWORD error = ERROR_SUCCESS;
    UniqueHandle handle = win32::OpenEntry(path, READ_CONTROL | FILE_READ_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, error);
    EntryFacts facts =
        handle.valid() ? win32::FactsOf(handle.get(), path) : win32::FactsOfFailure(error);
    if (facts.kind == EntryFacts::Kind::kMissing) return nullptr;
    EntryFacts above;
    if (holder == nullptr && !win32::ParentOf(path).empty()) {
      above = win32::WindowsEntryView().Inspect(WideToUtf8(win32::ParentOf(path)));
      if (above.kind == EntryFacts::Kind::kFolder) holder = &above;
    }
    const String problem = Problem(facts, trusted_, role, true, holder);
    if (!problem.empty()) problems.push_back(WideToUtf8(path) + " " + problem + ".");
    held_.push_back(std::move(handle));
    judged_.push_back(std::make_unique<JudgedFolder>(JudgedFolder{path, std::move(facts)}));
    return &judged_.back()->facts;
  }

  const TrustedAccounts& trusted_;
  struct JudgedFolder {
    WString path;
    EntryFacts facts;
  };
  Vector<std::unique_ptr<JudgedFolder>> judged_;  // each apart: facts are pointed to
  Vector<UniqueHandle> held_;
};

// The whole file, or nothing when it cannot be read.
bool ReadWhole(const String& path, String& bytes) {
  const platform::Result<WString> wide = Utf8ToWide(path);
  if (!wide.ok()) return false;
  const UniqueHandle file(::CreateFileW(wide->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file.valid() || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > (1 << 30)) {
    return false;
  }
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  return ::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
         read == bytes.size();
}

// The support files the runtime at `home` holds that are not Setup's: the launcher never
// replaces one, so a different one stays, and is named.
Vector<String> DifferingFiles(const String& home) {
  Vector<String> differing;
  for (const javaruntime::SupportFilePlace& place :
       javaruntime::SupportFilePlaces(javaruntime::SupportSourceDirectory(), home)) {
    String ours;
    String theirs;
    if (ReadWhole(place.source, ours) && ReadWhole(place.path, theirs) && ours != theirs) {
      differing.push_back(place.path);
    }
  }
  return differing;
}

// The log Setup keeps beside Varnolet.exe, which a silent install leaves as its account and
// the wizard reads back for its last page: UTF-16LE after a byte-order mark, CR LF, as NSIS's
// FileReadUTF16LE and Notepad read it, non-ASCII paths included.
platform::Outcome WriteLog(const WString& path, const Vector<String>& lines) {
  WString text = L"\xFEFF";
  for (const String& line : lines) {
    const platform::Result<WString> wide = Utf8ToWide(line);
    if (!wide.ok()) return wide.error();
    text += *wide + L"\r\n";
  }
  return WriteSetupFile(path, String(reinterpret_cast<const char*>(text.data()),
                                     text.size() * sizeof(wchar_t)));
}

int PrepareRuntime(const Vector<WString>& arguments, const HelperContext& context) {
  if (arguments.size() != 1) return kUsage;
  javaruntime::RuntimePreparation preparation;
  {
    HeldRuntimeFolders folders(context.trusted);
    preparation = javaruntime::PrepareNativeJavaRuntime(&folders);
  }
  const Vector<String> differing =
      preparation.ready ? DifferingFiles(preparation.home) : Vector<String>();
  const Vector<String> lines = DescribeRuntimePreparation(preparation, differing);
  for (const String& line : lines) Say(line);
  if (const platform::Outcome written = WriteLog(arguments[0], lines); !written.ok()) {
    Say(written.error().description() + ": what is said above is not in the log.");
    return kRuntimeLogUnwritten;
  }
  return RuntimeStatus(preparation, differing);
}

}  // namespace

const HelperCommand kPrepareRuntimeCommand{L"prepare-runtime", "LOG", PrepareRuntime};

}  // namespace tolvarin::installer
