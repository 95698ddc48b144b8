#include "installer/prepare_runtime.h"

#include <windows.h>

#include <string>
#include <vector>

#include "installer/runtime_report.h"
#include "javaruntime/prepare_java_runtime.h"
#include "platform/win32_util.h"

namespace tolvarin::installer {
namespace {

using platform::win32::UniqueHandle;

// The log Setup keeps beside Varnolet.exe, which a silent install leaves as its account and
// the wizard reads back for its last page: UTF-16LE after a byte-order mark, CR LF, as NSIS's
// FileReadUTF16LE and Notepad read it, non-ASCII paths included.
void WriteLog(const std::wstring& path, const std::vector<std::string>& lines) {
  std::wstring text = L"\xFEFF";
  for (const std::string& line : lines) text += platform::win32::Utf8ToWide(line) + L"\r\n";
  const UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (!file.valid() || !::WriteFile(file.get(), text.data(),
                                    static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written,
                                    nullptr)) {
    const DWORD error = ::GetLastError();
    throw platform::win32::SystemError(error, "Cannot write " + platform::win32::WideToUtf8(path));
  }
}

int PrepareRuntime(const std::vector<std::wstring>& arguments, const HelperContext&) {
  if (arguments.size() != 1) return kUsage;
  const javaruntime::RuntimePreparation preparation = javaruntime::PrepareNativeJavaRuntime();
  const std::vector<std::string> lines = DescribeRuntimePreparation(preparation);
  for (const std::string& line : lines) Say(line);
  WriteLog(arguments[0], lines);
  return preparation.ready ? kRuntimeReadyStatus : kRuntimeNotReadyStatus;
}

}  // namespace

const HelperCommand kPrepareRuntimeCommand{L"prepare-runtime", "LOG", PrepareRuntime};

}  // namespace tolvarin::installer
