#include "installer/rule/local_folder.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace tolvarin::installer {
namespace {

bool DriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// What a name between separators must not be: Windows drops a trailing dot or space (so "Apps."
// opens "Apps"), and reserves these characters (':' would name a stream of the folder).
String NameProblem(std::string_view name) {
  if (name.empty()) return "has an empty name between separators";
  if (name == "." || name == "..") return "names a folder by . or ..";
  if (name.back() == '.' || name.back() == ' ') return "has a name ending in a dot or a space";
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr("<>:\"/|?*", c) != nullptr) {
      return "has a character no folder name may hold";
    }
  }
  return {};
}

}  // namespace

String LocalFolderProblem(const String& path) {
  constexpr char kWanted[] = " (such as C:\\Apps\\Tolvarin)";
  if (path.size() < 3 || !DriveLetter(path[0]) || path[1] != ':' || path[2] != '\\') {
    return String("is not an absolute path on a drive") + kWanted;
  }
  std::string_view rest(path);
  rest.remove_prefix(3);
  while (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
  if (rest.empty()) return "is a drive's root, not a folder";
  for (size_t start = 0;;) {
    const size_t end = std::min(rest.find('\\', start), rest.size());
    const String problem = NameProblem(std::string_view(rest.data() + start, end - start));
    if (!problem.empty()) return problem + kWanted;
    if (end == rest.size()) return {};
    start = end + 1;
  }
}

}  // namespace tolvarin::installer
