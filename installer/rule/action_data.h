#ifndef TOLVARIN_INSTALLER_RULE_ACTION_DATA_H_
#define TOLVARIN_INSTALLER_RULE_ACTION_DATA_H_

// The data of the package's deferred actions (tolvarin.wxs, wix_files.py): commands one per
// line, arguments separated by '|', which no Windows path holds (so a folder's trailing
// separator cannot escape a quote, as it would in a command line). Windows Installer composes
// it by putting property values in place of [NAME]; a value is judged before that, since one
// holding a separator would add a command or an argument.

#include <cstddef>
#include <optional>
#include <span>

#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin::installer {

inline constexpr wchar_t kCommandSeparator = L'\n';
inline constexpr wchar_t kArgumentSeparator = L'|';

// The commands the package's actions run themselves rather than the helper: whether the folders
// named are the ones the package may write to, and whether the folders written to are still the
// very ones made or kept.
inline constexpr wchar_t kPackageFoldersCommand[] = L"package-folders";
inline constexpr wchar_t kWrittenFoldersCommand[] = L"written-folders";

// What a line of an action's data may be: its command, how many arguments it takes, and how
// many such lines the data holds. The first line of a shape's table is the data's first.
inline constexpr std::size_t kAny = static_cast<std::size_t>(-1);
struct LineShape {
  const wchar_t* command;
  std::size_t fewest_arguments;
  std::size_t most_arguments;
  std::size_t fewest_lines;
  std::size_t most_lines;
};
// The checks before and after the files are written (wix_files.py composes them).
inline constexpr LineShape kCheckLines[] = {
    {kPackageFoldersCommand, 3, 3, 1, 1},
    {L"check-folder", 3, 3, 1, 1},
    {L"check-replaceable", 2, kAny, 0, kAny},
};
inline constexpr LineShape kWrittenLines[] = {
    {kPackageFoldersCommand, 3, 3, 1, 1},
    {kWrittenFoldersCommand, 4, 4, 1, 1},
    {L"check-folder", 3, 3, 1, 1},
    {L"check-replaceable", 2, kAny, 0, kAny},
};
inline constexpr LineShape kPrepareLines[] = {{L"prepare-runtime", 1, 1, 1, 1}};

// One line of an action's data: the command, then its arguments.
using Line = Vector<WString>;

// The parts of `text` between `separator`s: one more than it holds, empty ones included.
Vector<WString> Split(const WString& text, wchar_t separator);

// `text` with its control characters shown as '?': a value's line feed must not start a line
// of its own in a log.
WString Shown(WString text);

// The lines of `data`, as given, when they have the shape `shapes` gives; otherwise none, and
// why in `problem`. Values were judged by ValueProblem before they were composed into the data:
// a line too many or an argument too many means the data is not the package's.
std::optional<Vector<Line>> Lines(const WString& data, std::span<const LineShape> shapes,
                                  WString& problem);

// Why the property value `value` may not be composed into an action's data, as the rest of a
// sentence that starts with it; empty when it may. It must be an absolute path on a local
// drive (LocalFolderProblem), and such a path holds neither separator nor any control
// character.
String ValueProblem(const WString& value);

}  // namespace tolvarin::installer

#endif  // TOLVARIN_INSTALLER_RULE_ACTION_DATA_H_
