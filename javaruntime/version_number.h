#ifndef TOLVARIN_JAVARUNTIME_VERSION_NUMBER_H_
#define TOLVARIN_JAVARUNTIME_VERSION_NUMBER_H_

#include <string_view>

#include "platform/error.h"
#include "platform/text.h"

namespace tolvarin::javaruntime {

// The part of a runtime's subkey name that is compared: its first three characters
// (UTF-8 code points), or the whole name when it is shorter. "1.4.2_06" gives "1.4".
String VersionText(std::string_view subkey_name);

// `text` as a number, read with '.' as the decimal point whatever the process's locale:
// registries always write version names that way. Accepts digits with at most one '.'
// and at least one digit ("1.5", "9", "1.", ".5"). Fails with kTypeMismatchError
// "Type mismatch" for anything else: empty text, blanks, signs, exponents, a comma, a second
// point. Exact for the short texts VersionText gives.
platform::Result<double> VersionNumber(std::string_view text);

}  // namespace tolvarin::javaruntime

#endif  // TOLVARIN_JAVARUNTIME_VERSION_NUMBER_H_
