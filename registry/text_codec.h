#ifndef TOLVARIN_REGISTRY_TEXT_CODEC_H_
#define TOLVARIN_REGISTRY_TEXT_CODEC_H_

// Text conversions the registry needs without the Windows API: UTF-8, UTF-16 (the
// registry's own form of names and string data), Windows-1252 (the ANSI code page of the
// export-file registry) and the registry's case-insensitive comparison of names.

#include <string_view>

#include "platform/text.h"

namespace tolvarin::registry {

// UTF-8 to UTF-16. Each malformed byte sequence becomes U+FFFD. Never throws but bad_alloc.
U16String Utf8ToUtf16(std::string_view utf8);

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
String Utf16ToUtf8(std::u16string_view utf16);

// Windows-1252 to UTF-16, byte for byte; the five bytes the code page leaves undefined
// map to the C1 controls of the same number, as Windows maps them.
U16String Windows1252ToUtf16(std::string_view ansi);

// UTF-16 to Windows-1252, one byte per UTF-16 unit; a unit the code page lacks (and so
// each half of a surrogate pair) becomes '?'.
String Utf16ToWindows1252(std::u16string_view utf16);

// The same with Windows' best fit, as the registry's narrow calls convert names and
// string data on their way out: a unit the code page lacks becomes its look-alike
// (U+03A9 to 'O', U+FF21 to 'A') and '?' only when it has none.
String Utf16ToWindows1252BestFit(std::u16string_view utf16);

// `name` lower-cased unit by unit, the key under which the registry compares names:
// the Latin, Greek, Cyrillic and Armenian alphabets and the full-width Latin letters.
// Sorting folded names gives the registry's enumeration order (so '_' sorts before
// the letters).
U16String FoldCase(std::u16string_view name);

}  // namespace tolvarin::registry

#endif  // TOLVARIN_REGISTRY_TEXT_CODEC_H_
