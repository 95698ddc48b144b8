#include "registry/reg_file_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/error.h"
#include "platform/posix_util.h"
#include "registry/text_codec.h"

namespace tolvarin::registry {

namespace {

using Bytes = Vector<std::uint8_t>;
using KeyId = RegFileStore::KeyId;

constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;

struct PredefinedRoot {
  KeyHandle handle;
  std::u16string_view name;
};
// The store's first keys, in this order.
constexpr PredefinedRoot kRoots[] = {
    {0x80000000, u"HKEY_CLASSES_ROOT"}, {0x80000001, u"HKEY_CURRENT_USER"},
    {0x80000002, u"HKEY_LOCAL_MACHINE"}, {0x80000003, u"HKEY_USERS"},
    {0x80000005, u"HKEY_CURRENT_CONFIG"}};
constexpr size_t kRootCount = sizeof kRoots / sizeof kRoots[0];

// One change an export file makes, in file order.
struct Operation {
  enum class Kind { kOpenKey, kDeleteTree, kSetValue, kDeleteValue };
  Kind kind = Kind::kOpenKey;
  size_t root = 0;                   // key operations: index into kRoots
  Vector<U16String> path;  // key operations
  U16String value_name;         // value operations
  RegFileStore::Value value;         // kSetValue
};

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool IsHexDigit(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
std::uint32_t HexDigitValue(char16_t c) {
  if (c <= u'9') return c - u'0';
  return (c | 0x20) - u'a' + 10;
}

std::u16string_view SkipBlanks(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}
std::u16string_view TrimTrailingBlanks(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}
bool IsEndOrComment(std::u16string_view s) {
  s = SkipBlanks(s);
  return s.empty() || s.front() == u';';
}
bool StartsWith(std::u16string_view s, std::u16string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}
// Leading hex digits of `s`: how many (stopping after `limit` + 1) and their value.
size_t CountHexDigits(std::u16string_view s, size_t limit) {
  size_t count = 0;
  while (count < s.size() && count <= limit && IsHexDigit(s[count])) ++count;
  return count;
}
std::uint32_t HexValue(std::u16string_view digits) {
  std::uint32_t value = 0;
  for (const char16_t c : digits) value = (value << 4) | HexDigitValue(c);
  return value;
}

Bytes Utf16LeBytes(std::u16string_view text) {
  Bytes bytes;
  bytes.reserve(text.size() * 2);
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

// Reads an export file into the operations it stands for, checking all of it first.
class ExportParser {
 public:
  ExportParser(std::string_view contents, const String& file_name) : file_name_(file_name) {
    const auto byte = [&](size_t i) { return static_cast<std::uint8_t>(contents[i]); };
    unicode_ = contents.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE;
    if (unicode_) {
      truncated_ = contents.size() % 2 != 0;
      text_.reserve(contents.size() / 2);
      for (size_t i = 2; i + 1 < contents.size(); i += 2) {
        text_.push_back(static_cast<char16_t>(byte(i) | (byte(i + 1) << 8)));
      }
    } else {
      text_ = Windows1252ToUtf16(contents);
    }
  }

  Vector<Operation> Parse() {
    if (truncated_) {
      while (NextLine(nullptr)) {
      }
      line_number_ = std::max<size_t>(line_number_, 1);
      Fail("the file is truncated: its UTF-16 text ends in the middle of a character");
    }
    std::u16string_view line;
    if (!NextLine(&line)) {
      line_number_ = 1;
      Fail("the file is empty: the header line is missing");
    }
    line = SkipBlanks(line);
    if (line != u"Windows Registry Editor Version 5.00" && line != u"REGEDIT4") {
      Fail("bad header: the first line must be \"Windows Registry Editor Version 5.00\" or "
           "\"REGEDIT4\"");
    }
    while (NextLine(&line)) ParseLine(line);
    return std::move(operations_);
  }

 private:
  [[noreturn]] void Fail(const String& fault) const {
    throw platform::Error(kMalformedRegistryFileError,
                          file_name_ + ", line " + DecimalString(line_number_) + ": " + fault);
  }

  // Advances to the next line (CR, LF or CR LF ends one) and checks its characters;
  // false at the end of the text.
  bool NextLine(std::u16string_view* line) {
    if (position_ >= text_.size()) return false;
    const size_t end = std::min(text_.find_first_of(u"\r\n", position_), text_.size());
    const std::u16string_view found(text_.data() + position_, end - position_);
    position_ = end + 1;
    if (end + 1 < text_.size() && text_[end] == u'\r' && text_[end + 1] == u'\n') ++position_;
    ++line_number_;
    if (line == nullptr) return true;
    for (size_t i = 0; i < found.size(); ++i) {
      const char16_t unit = found[i];
      if (unit == 0) {
        Fail(unicode_ ? "NUL character in the text"
                      : "NUL byte: a UTF-16 file must begin with the byte-order mark FF FE");
      }
      if (unit >= 0xD800 && unit <= 0xDFFF) {
        const bool paired = unit <= 0xDBFF && i + 1 < found.size() && found[i + 1] >= 0xDC00 &&
                            found[i + 1] <= 0xDFFF;
        if (!paired) Fail("invalid UTF-16: unpaired surrogate");
        ++i;
      }
    }
    *line = found;
    return true;
  }

  void ParseLine(std::u16string_view line) {
    const std::u16string_view rest = SkipBlanks(line);
    if (rest.empty()) return;
    switch (rest.front()) {
      case u'[':
        ParseKey(rest.substr(1));
        return;
      case u'@':
        ParseValue(u"", rest.substr(1));
        return;
      case u'"': {
        U16String name;
        const std::u16string_view after = Unescape(rest.substr(1), "value name", name);
        ParseValue(name, after);
        return;
      }
      default:
        // Anything else is a comment, except hex data that lost its backslash.
        if (LooksLikeHexData(rest)) {
          Fail("stray continuation: hex data, but the line before does not end with a backslash");
        }
    }
  }

  void ParseKey(std::u16string_view rest) {
    if (rest.empty() || IsBlank(rest.front())) Fail("a key name must follow '[' directly");
    const size_t close = rest.rfind(u']');
    if (close == std::u16string_view::npos) Fail("the key name has no closing ']'");
    std::u16string_view name = rest.substr(0, close);
    Operation operation;
    operation.kind = Operation::Kind::kOpenKey;
    if (!name.empty() && name.front() == u'-') {
      operation.kind = Operation::Kind::kDeleteTree;
      name.remove_prefix(1);
    }
    const size_t separator = name.find(u'\\');
    const std::u16string_view root = name.substr(0, separator);
    operation.root = FindRoot(root);
    if (separator != std::u16string_view::npos) {
      std::u16string_view path = name.substr(separator + 1);
      while (!path.empty()) {
        const size_t next = std::min(path.find(u'\\'), path.size());
        const std::u16string_view component = path.substr(0, next);
        if (component.empty()) Fail("empty key name between backslashes");
        if (component.size() > kMaxKeyNameLength) Fail("key name longer than 255 characters");
        operation.path.emplace_back(component);
        path.remove_prefix(std::min(next + 1, path.size()));
      }
    }
    if (operation.kind == Operation::Kind::kDeleteTree && operation.path.empty()) {
      Fail("a root key cannot be deleted");
    }
    have_key_ = operation.kind == Operation::Kind::kOpenKey;
    operations_.push_back(std::move(operation));
  }

  size_t FindRoot(std::u16string_view name) const {
    const U16String folded = FoldCase(name);
    for (size_t i = 0; i < kRootCount; ++i) {
      if (folded == FoldCase(kRoots[i].name)) return i;
    }
    Fail("unknown root key \"" + Utf16ToUtf8(name) +
         "\": expected HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS "
         "or HKEY_CURRENT_CONFIG");
  }

  // Reads a quoted text whose opening quote has been passed into `out`; returns what
  // follows the closing quote.
  std::u16string_view Unescape(std::u16string_view s, const char* what, U16String& out) const {
    for (size_t i = 0; i < s.size(); ++i) {
      char16_t c = s[i];
      if (c == u'"') return s.substr(i + 1);
      if (c == u'\\') {
        if (++i == s.size()) break;
        c = s[i];
        if (c == u'n') c = u'\n';
        if (c == u'r') c = u'\r';
        if (c == u'0') Fail(String("the escape \\0 cannot stand in a ") + what);
      }
      out.push_back(c);
    }
    Fail(String("unclosed quote in the ") + what);
  }

  void ParseValue(U16String name, std::u16string_view after_name) {
    if (!have_key_) Fail("a value line, but no key is open: a [key] line must come first");
    if (name.size() > kMaxValueNameLength) Fail("value name longer than 16383 characters");
    std::u16string_view rest = SkipBlanks(after_name);
    if (rest.empty() || rest.front() != u'=') Fail("expected '=' after the value name");
    rest = TrimTrailingBlanks(SkipBlanks(rest.substr(1)));

    Operation operation;
    operation.kind = Operation::Kind::kSetValue;
    operation.value_name = std::move(name);
    RegFileStore::Value& value = operation.value;
    if (rest.empty()) {
      Fail("no data after '='");
    } else if (rest.front() == u'-') {
      if (!IsEndOrComment(rest.substr(1))) Fail("unexpected text after '=-'");
      operation.kind = Operation::Kind::kDeleteValue;
    } else if (rest.front() == u'"') {
      U16String text;
      const std::u16string_view tail = SkipBlanks(Unescape(rest.substr(1), "string", text));
      if (!tail.empty() && tail.front() == u'\\') {
        Fail("stray continuation: only hex data can continue on the next line");
      }
      if (!IsEndOrComment(tail)) Fail("unexpected text after the closing quote");
      text.push_back(0);
      value = {kRegSz, Utf16LeBytes(text)};
    } else if (StartsWith(rest, u"dword:")) {
      value = {kRegDword, ParseDword(SkipBlanks(rest.substr(6)))};
    } else if (StartsWith(rest, u"hex:")) {
      value = {kRegBinary, ParseHex(rest.substr(4))};
    } else if (StartsWith(rest, u"hex(")) {
      const std::u16string_view digits = rest.substr(4);
      const size_t count = CountHexDigits(digits, 8);
      if (count == 0 || count > 8 || digits.substr(count, 2) != u"):") {
        Fail("hex( needs a type of 1 to 8 hex digits and \"):\", as in hex(2):");
      }
      value.type = HexValue(digits.substr(0, count));
      value.data = ParseHex(digits.substr(count + 2));
      if (value.type == kRegSz || value.type == kRegExpandSz || value.type == kRegMultiSz) {
        PrepareStringData(value.data);
      }
    } else {
      Fail("unknown value type: expected a quoted string, dword:, hex: or hex(n):");
    }
    operations_.push_back(std::move(operation));
  }

  Bytes ParseDword(std::u16string_view digits) const {
    const size_t count = CountHexDigits(digits, 8);
    if (count == 0 || count > 8 || !IsEndOrComment(digits.substr(count))) {
      Fail("dword: takes 1 to 8 hex digits");
    }
    const std::uint32_t number = HexValue(digits.substr(0, count));
    return {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
            static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
  }

  // Comma-separated bytes, continued over the following lines by a trailing backslash.
  Bytes ParseHex(std::u16string_view first) {
    Bytes bytes;
    bool continued = ParseHexLine(first, bytes);
    while (continued) {
      std::u16string_view line;
      do {
        if (!NextLine(&line)) {
          Fail("the file ends inside hex data continued by a backslash: it is truncated");
        }
        line = SkipBlanks(line);
      } while (line.empty() || line.front() == u';');
      if (!IsHexDigit(line.front())) {
        Fail("stray continuation: the line before ends with a backslash, but this line holds "
             "no hex data");
      }
      continued = ParseHexLine(line, bytes);
    }
    return bytes;
  }

  // Appends the bytes of one line; true when a backslash continues them on the next.
  bool ParseHexLine(std::u16string_view s, Bytes& bytes) const {
    while (true) {
      s = SkipBlanks(s);
      if (s.empty() || s.front() == u';') return false;
      if (s.front() == u'\\') {
        if (!IsEndOrComment(s.substr(1))) Fail("unexpected text after the continuation backslash");
        return true;
      }
      const size_t count = CountHexDigits(s, 2);
      if (count == 0 || count > 2) Fail("bad hex byte: expected 1 or 2 hex digits");
      bytes.push_back(static_cast<std::uint8_t>(HexValue(s.substr(0, count))));
      s.remove_prefix(count);
      if (s.empty() || s.front() != u',') {
        if (!IsEndOrComment(s)) Fail("expected ',' between hex bytes");
        return false;
      }
      s.remove_prefix(1);
    }
  }

  bool LooksLikeHexData(std::u16string_view s) const {
    bool separated = false;
    while (true) {
      const size_t count = CountHexDigits(s, 2);
      if (count == 0 || count > 2) return false;
      s = SkipBlanks(s.substr(count));
      if (s.empty()) return separated;
      if (s.front() == u'\\') return true;
      if (s.front() != u',') return false;
      separated = true;
      s = SkipBlanks(s.substr(1));
      if (s.empty() || s.front() == u'\\') return true;
    }
  }

  // Hex string data gets the terminator the importer adds, and ANSI data is stored as
  // UTF-16 like all string data.
  void PrepareStringData(Bytes& data) const {
    if (data.empty()) return;
    if (unicode_) {
      if (data.size() % 2 != 0) Fail("UTF-16 string data must have an even number of bytes");
      if (data[data.size() - 2] != 0 || data.back() != 0) {
        data.push_back(0);
        data.push_back(0);
      }
      return;
    }
    if (data.back() != 0) data.push_back(0);
    data = Utf16LeBytes(Windows1252ToUtf16(String(data.begin(), data.end())));
  }

  const String& file_name_;
  U16String text_;
  bool unicode_ = false;
  bool truncated_ = false;
  size_t position_ = 0;
  size_t line_number_ = 0;
  bool have_key_ = false;
  Vector<Operation> operations_;
};

}  // namespace

// Carries a parsed file's operations into the store.
class StoreEditor {
 public:
  explicit StoreEditor(Vector<RegFileStore::Key>& keys) : keys_(keys) {}

  void Apply(Vector<Operation>& operations) {
    KeyId current = 0;  // the parser lets no value line come before a key line
    for (Operation& operation : operations) {
      switch (operation.kind) {
        case Operation::Kind::kOpenKey:
          current = CreatePath(operation.root, operation.path);
          break;
        case Operation::Kind::kDeleteTree:
          DeleteTree(operation.root, operation.path);
          break;
        case Operation::Kind::kSetValue:
          keys_[current].values[FoldCase(operation.value_name)] = std::move(operation.value);
          break;
        case Operation::Kind::kDeleteValue:
          keys_[current].values.erase(FoldCase(operation.value_name));
          break;
      }
    }
    std::sort(changed_.begin(), changed_.end());
    changed_.erase(std::unique(changed_.begin(), changed_.end()), changed_.end());
    for (const KeyId key : changed_) Reorder(keys_[key]);
  }

 private:
  KeyId CreatePath(size_t root, const Vector<U16String>& path) {
    KeyId key = static_cast<KeyId>(root);
    for (const U16String& name : path) {
      const auto [entry, inserted] =
          keys_[key].subkeys.emplace(FoldCase(name), static_cast<KeyId>(keys_.size()));
      const KeyId subkey = entry->second;  // before keys_ may move the map
      if (inserted) {
        changed_.push_back(key);
        keys_.push_back(RegFileStore::Key{name, {}, {}, {}});
      }
      key = subkey;
    }
    return key;
  }

  void DeleteTree(size_t root, const Vector<U16String>& path) {
    KeyId parent = static_cast<KeyId>(root);
    for (size_t i = 0; i + 1 < path.size(); ++i) {
      const auto found = keys_[parent].subkeys.find(FoldCase(path[i]));
      if (found == keys_[parent].subkeys.end()) return;
      parent = found->second;
    }
    const auto found = keys_[parent].subkeys.find(FoldCase(path.back()));
    if (found == keys_[parent].subkeys.end()) return;
    // The detached keys stay in the table, emptied, so that no KeyId moves.
    Vector<KeyId> doomed = {found->second};
    keys_[parent].subkeys.erase(found);
    changed_.push_back(parent);
    while (!doomed.empty()) {
      RegFileStore::Key& key = keys_[doomed.back()];
      doomed.pop_back();
      for (const auto& subkey : key.subkeys) doomed.push_back(subkey.second);
      key.subkeys.clear();
      key.ordered.clear();
      key.values.clear();
    }
  }

  static void Reorder(RegFileStore::Key& key) {
    Vector<std::pair<std::u16string_view, KeyId>> sorted(key.subkeys.begin(),
                                                         key.subkeys.end());
    std::sort(sorted.begin(), sorted.end());
    key.ordered.clear();
    for (const auto& entry : sorted) key.ordered.push_back(entry.second);
  }

  Vector<RegFileStore::Key>& keys_;
  Vector<KeyId> changed_;
};

RegFileStore::RegFileStore() {
  for (const PredefinedRoot& root : kRoots) keys_.push_back(Key{U16String(root.name), {}, {}, {}});
}

platform::Outcome RegFileStore::Import(std::string_view contents, const String& file_name) {
  // The parser stops at the first fault by throwing: this stand-in is built only where the
  // programs keep exceptions, and its callers see an Outcome like everyone else's.
  Vector<Operation> operations;
  try {
    operations = ExportParser(contents, file_name).Parse();
  } catch (const platform::Error& error) {
    return error;
  }
  StoreEditor(keys_).Apply(operations);
  return {};
}

std::optional<KeyId> RegFileStore::Root(KeyHandle predefined) const {
  for (size_t i = 0; i < kRootCount; ++i) {
    if (kRoots[i].handle == predefined) return static_cast<KeyId>(i);
  }
  return std::nullopt;
}

std::optional<KeyId> RegFileStore::Subkey(KeyId parent, const U16String& folded_name) const {
  const auto found = keys_[parent].subkeys.find(folded_name);
  if (found == keys_[parent].subkeys.end()) return std::nullopt;
  return found->second;
}

std::uint32_t RegFileStore::SubkeyCount(KeyId key) const {
  return static_cast<std::uint32_t>(keys_[key].ordered.size());
}

const U16String& RegFileStore::SubkeyName(KeyId key, std::uint32_t index) const {
  return keys_[keys_[key].ordered[index]].name;
}

const RegFileStore::Value* RegFileStore::FindValue(KeyId key,
                                                   const U16String& folded_name) const {
  const auto found = keys_[key].values.find(folded_name);
  return found == keys_[key].values.end() ? nullptr : &found->second;
}

String RegistryFilePath() {
  const char* path = std::getenv(kRegistryFileVariable);
  return path != nullptr && *path != '\0' ? path : kDefaultRegistryFile;
}

platform::Result<RegFileStore> LoadRegFileStore(const String& path) {
  const auto unreadable = [&path](int number) {
    return platform::posix::SystemError(number, "Cannot read the registry file " + path);
  };
  const platform::posix::UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) {
    const int error = errno;
    if (error == ENOENT) return RegFileStore();
    return unreadable(error);
  }
  String contents;
  char chunk[65536];
  while (true) {
    const ssize_t count = ::read(file.get(), chunk, sizeof chunk);
    if (count < 0) {
      const int error = errno;
      if (error == EINTR) continue;
      return unreadable(error);
    }
    if (count == 0) break;
    contents.append(chunk, static_cast<size_t>(count));
  }
  RegFileStore store;
  if (platform::Outcome imported = store.Import(contents, path); !imported.ok()) {
    return imported.error();
  }
  return store;
}

}  // namespace tolvarin::registry
