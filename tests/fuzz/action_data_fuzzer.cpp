// Property target of the package's action data (action_data.h): property values that pass
// ValueProblem, put in place of [NAME] as Windows Installer formats the package's data, never
// change which commands an action runs, how many, nor their arguments.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

#include "installer/rule/action_data.h"

namespace {

using namespace tolvarin::installer;
using tolvarin::WString;

// The data as wix_files.py and tolvarin.wxs set it (one server folder: DSERVER), and its shapes.
const std::pair<const wchar_t*, std::span<const LineShape>> kActions[] = {
    {L"package-folders|[QUARVEL]|[GSMMODEMJAR]|[INSTALLFOLDER]\n"
     L"check-folder|[QUARVEL]|[GSMMODEMJAR]|[INSTALLFOLDER]\n"
     L"check-replaceable|[DSERVER]|sms.jar|Comm.jar",
     kCheckLines},
    {L"package-folders|[QUARVEL]|[GSMMODEMJAR]|[INSTALLFOLDER]\n"
     L"written-folders|[FolderNotes]|[QUARVEL]|[GSMMODEMJAR]|[INSTALLFOLDER]\n"
     L"check-folder|[QUARVEL]|[GSMMODEMJAR]|[INSTALLFOLDER]",
     kWrittenLines},
    {L"prepare-runtime|[INSTALLFOLDER]Setup.log", kPrepareLines},
};
// FolderNotes is the action's own (digits), the rest a user's, judged by ValueProblem.
constexpr const wchar_t* kNames[] = {L"FolderNotes", L"QUARVEL", L"GSMMODEMJAR",
                                     L"INSTALLFOLDER", L"DSERVER"};
using Values = WString[std::size(kNames)];

// `text` with the value of each property it names in place of [NAME].
WString Formatted(const WString& text, const Values& values) {
  WString formatted;
  size_t at = 0;
  for (size_t open; (open = text.find(L'[', at)) != WString::npos; at = text.find(L']', open) + 1) {
    const WString name = text.substr(open + 1, text.find(L']', open) - open - 1);
    formatted += text.substr(at, open - at);
    formatted += values[std::find(std::begin(kNames), std::end(kNames), name) - kNames];
  }
  return formatted + text.substr(at);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  Values values = {L"133797600000000000"};
  for (WString& value : std::span(values).subspan(1)) {
    value = in.ConsumeBool() ? L"C:\\" : L"";
    for (size_t n = in.ConsumeIntegralInRange(0, 16); n > 0; --n) {
      const wchar_t c = in.ConsumeIntegral<std::uint8_t>();
      value += c < 0xF0 ? c : static_cast<wchar_t>(in.ConsumeIntegral<std::uint16_t>());
    }
    if (!ValueProblem(value).empty()) value = L"C:\\quarvel\\";
  }
  for (const auto& [text, shapes] : kActions) {
    // The data is taken, each line and each argument the package's with the values in place.
    WString problem;
    auto expected = *Lines(text, shapes, problem);
    for (Line& line : expected) {
      for (WString& argument : line) argument = Formatted(argument, values);
    }
    const auto lines = Lines(Formatted(text, values), shapes, problem);
    if (!lines || *lines != expected) __builtin_trap();
  }
  // ProtectFolders' is one line whose four arguments are the values.
  const WString protect =
      Formatted(L"[FolderNotes]|[QUARVEL]|[GSMMODEMJAR]|[INSTALLFOLDER]", values);
  const bool one_line = protect.find(kCommandSeparator) == WString::npos;
  if (!one_line || Split(protect, kArgumentSeparator) != Line(values, values + 4)) __builtin_trap();
  return 0;
}
