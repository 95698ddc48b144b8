// Property target of the folder path rule (LocalFolderProblem). The input is read twice: as a
// path, and as the choices that build one from good names and put one refused form into it.

#include <fuzzer/FuzzedDataProvider.h>

#include <regex>
#include <string_view>

#include "installer/rule/local_folder.h"
#include "platform/vector.h"

namespace {

using tolvarin::String;
using tolvarin::installer::LocalFolderProblem;

// What no name holds; starts of no absolute path on a drive.
constexpr std::string_view kReserved("<>:\"/|?*\0\x01\t\n\r\x1f", 14);
constexpr std::string_view kNotLocal[] = {"", "\\", "C:", "C:/", "\\C:\\", "\\\\server\\share\\",
                                          "\\\\?\\C:\\", "\\\\?\\UNC\\server\\", "1:\\", "C;\\"};

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Whatever is taken is a drive letter, ":\", names that hold no reserved character and end in
  // neither a dot nor a space (so none is empty, "." or ".."), then perhaps separators.
  static const std::regex kTaken(
      R"([A-Za-z]:(\\[^\\<>:"/|?*\x00-\x1f]*[^\\<>:"/|?*\x00-\x1f. ])+\\*)");
  const String raw(reinterpret_cast<const char*>(data), size);
  Check(!LocalFolderProblem(raw).empty() || std::regex_match(raw.begin(), raw.end(), kTaken));
  FuzzedDataProvider in(data, size);
  tolvarin::Vector<String> names(in.ConsumeIntegralInRange<size_t>(1, 5));
  for (String& name : names) {
    while (in.ConsumeBool()) name += in.PickValueInArray({'a', 'Z', '7', '(', '.', ' ', '\xc3'});
    name += in.PickValueInArray({'a', '~', '-', '\xbc'});
  }
  const String drive = String(1, in.PickValueInArray({'C', 'd', 'Z'})) + ":\\";
  const String trailing(in.ConsumeIntegralInRange<size_t>(0, 2), '\\');
  const auto taken = [&](std::string_view start, const tolvarin::Vector<String>& parts) {
    String path(start);
    for (size_t i = 0; i < parts.size(); ++i) path += (i ? "\\" : "") + parts[i];
    return LocalFolderProblem(path + trailing).empty();
  };
  // Good names on a drive are taken, however many and spelt, separators after them or not.
  Check(taken(drive, names));
  // One refused form anywhere is refused: in place of the drive, or as any one name.
  Check(!taken(in.PickValueInArray(kNotLocal), names));
  const size_t at = in.ConsumeIntegralInRange<size_t>(0, names.size() - 1);
  String reserved = names[at];
  reserved.insert(in.ConsumeIntegralInRange<size_t>(0, reserved.size()),
                  kReserved.substr(in.ConsumeIntegralInRange<size_t>(0, kReserved.size() - 1), 1));
  const String refused[] = {".", "..", names[at] + ".", names[at] + " ", reserved};
  auto changed = names;
  changed[at] = in.PickValueInArray(refused);
  Check(!taken(drive, changed));
  changed = names;  // an empty name, between separators
  changed.insert(changed.begin() + at, String());
  Check(!taken(drive, changed));
  return 0;
}
