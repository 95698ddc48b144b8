#include "installer/commands/place_file.h"

#include <cstring>

#include "installer/windows/entry_view_win32.h"
#include "installer/windows/security_win32.h"
#include "platform/text.h"
#include "platform/vector.h"
#include "platform/win32_util.h"

namespace tolvarin::installer {
namespace {

using platform::win32::SystemError;
using platform::win32::UniqueHandle;
using platform::win32::WideToUtf8;

int Place(const WString& folder, const WString& name, const HelperContext& context) {
  const WString path = folder + L"\\" + name;
  const WString written = path + kNewSuffix;
  DWORD error = ERROR_SUCCESS;
  const UniqueHandle file = win32::OpenEntry(
      written, DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, error);
  if (!file.valid()) {
    Say(WideToUtf8(written) + " cannot be placed " + SystemFailure(error) + ".");
    return error == ERROR_SHARING_VIOLATION ? kInUse : kFailed;
  }
  const EntryFacts facts = win32::FactsOf(file.get(), written);
  String problem = Problem(facts, context.trusted, Role::kKept, /*folder=*/false);
  BY_HANDLE_FILE_INFORMATION information{};
  if (problem.empty() && ::GetFileInformationByHandle(file.get(), &information) &&
      information.nNumberOfLinks != 1) {
    problem = "has other names as well";  // a hard link another user may have made earlier
  }
  if (!problem.empty()) {
    Say(WideToUtf8(written) + " " + problem + ", so Setup does not use it: remove it, then run "
        "Setup again.");
    return kRefused;
  }
  error = RenameThroughHandle(file.get(), path);
  if (error != ERROR_SUCCESS) {
    Say(WideToUtf8(path) + " cannot be replaced " + SystemFailure(error) + ".");
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ? kInUse : kFailed;
  }
  return kDone;
}

int PlaceFiles(const Vector<WString>& arguments, const HelperContext& context) {
  if (arguments.size() < 2) return kUsage;
  const WString folder = win32::WithoutTrailingSeparators(arguments.front());
  for (auto name = arguments.begin() + 1; name != arguments.end(); ++name) {
    if (const int status = Place(folder, *name, context); status != kDone) return status;
  }
  return kDone;
}

}  // namespace

DWORD RenameThroughHandle(HANDLE file, const WString& path) {
  // The whole path: the system takes a bare name from the current directory, not the file's.
  const WString& name = path;
  Vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::memcpy(rename->FileName, name.data(), rename->FileNameLength);
  if (!::SetFileInformationByHandle(file, FileRenameInfo, rename,
                                    static_cast<DWORD>(buffer.size()))) {
    return ::GetLastError();
  }
  return ERROR_SUCCESS;
}

platform::Outcome WriteSetupFile(const WString& path, const String& bytes) {
  const WString written = path + kNewSuffix;
  const win32::SecurityDescriptor descriptor(win32::kProtectedFileSddl);
  if (!descriptor.valid()) return descriptor.failure();
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
  // Left by an earlier run that failed: nothing of anyone else, the folder being Setup's.
  ::DeleteFileW(written.c_str());
  // Never through a link at the name, though only administrators can put one there.
  const UniqueHandle file(::CreateFileW(written.c_str(), GENERIC_WRITE | DELETE, 0, &attributes,
                                        CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                        nullptr));
  if (!file.valid()) {
    const DWORD error = ::GetLastError();
    return SystemError(error, "Cannot write " + WideToUtf8(written));
  }
  DWORD done = 0;
  DWORD error = ERROR_SUCCESS;
  if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr)) {
    error = ::GetLastError();
  } else {
    error = RenameThroughHandle(file.get(), path);
  }
  if (error != ERROR_SUCCESS) {
    // Gone once closed: a failed write leaves nothing behind.
    FILE_DISPOSITION_INFO discard{TRUE};
    ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &discard, sizeof(discard));
    return SystemError(error, "Cannot write " + WideToUtf8(path));
  }
  return {};
}

const HelperCommand kPlaceCommand{L"place", "FOLDER NAME...", PlaceFiles};

}  // namespace tolvarin::installer
