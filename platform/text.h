#ifndef TOLVARIN_PLATFORM_TEXT_H_
#define TOLVARIN_PLATFORM_TEXT_H_

#include <compare>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <ostream>
#include <string_view>
#include <type_traits>
#include <utility>

namespace tolvarin {

// Owned text of one character type, with the part of std::basic_string the programs use and
// the same meaning for each member. It exists because libstdc++'s strings call its throwing
// helpers, whose object brings the whole exception family and the copy-on-write string (about
// 85 KB) into every Windows program. Memory comes from ::operator new; a position past the end
// where std::basic_string would throw std::out_of_range is a broken contract and aborts.
template <typename Char>
class BasicString {
 public:
  using value_type = Char;
  using size_type = std::size_t;
  using iterator = Char*;
  using const_iterator = const Char*;
  using View = std::basic_string_view<Char>;
  static constexpr std::size_t npos = View::npos;

  BasicString() noexcept = default;
  BasicString(const Char* text) { Assign(text, View(text).size()); }  // NOLINT: as std's
  BasicString(const Char* text, std::size_t size) { Assign(text, size); }
  BasicString(std::size_t count, Char c) { append(count, c); }
  BasicString(std::nullptr_t) = delete;
  template <typename It>
    requires(!std::is_integral_v<It>)
  BasicString(It first, It last) {
    for (; first != last; ++first) push_back(static_cast<Char>(*first));
  }
  explicit BasicString(View text) { Assign(text.data(), text.size()); }
  // From the standard library's own strings, which tests and the Linux stand-ins meet.
  template <typename Traits, typename Allocator>
  BasicString(const std::basic_string<Char, Traits, Allocator>& text)  // NOLINT: as std's
      : BasicString(text.data(), text.size()) {}
  BasicString(const BasicString& other) { Assign(other.data_, other.size_); }
  BasicString(BasicString&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  ~BasicString() { ::operator delete(data_); }

  BasicString& operator=(const BasicString& other) {
    if (this != &other) {
      size_ = 0;
      Assign(other.data_, other.size_);
    }
    return *this;
  }
  BasicString& operator=(BasicString&& other) noexcept {
    if (this != &other) {
      ::operator delete(data_);
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
      capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
  }
  BasicString& operator=(View text) { return assign(text); }
  BasicString& operator=(const Char* text) { return assign(View(text)); }
  BasicString& assign(View text) {
    BasicString copy(text);  // `text` may lie inside this string
    return *this = std::move(copy);
  }

  operator View() const noexcept { return View(data(), size_); }  // NOLINT: as std's

  const Char* data() const noexcept { return data_ != nullptr ? data_ : &terminator_; }
  Char* data() noexcept { return data_ != nullptr ? data_ : &terminator_; }
  const Char* c_str() const noexcept { return data(); }
  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }

  Char* begin() noexcept { return data(); }
  Char* end() noexcept { return data() + size_; }
  const Char* begin() const noexcept { return data(); }
  const Char* end() const noexcept { return data() + size_; }
  Char& operator[](std::size_t i) noexcept { return data()[i]; }
  const Char& operator[](std::size_t i) const noexcept { return data()[i]; }
  Char& front() noexcept { return data_[0]; }
  const Char& front() const noexcept { return data_[0]; }
  Char& back() noexcept { return data_[size_ - 1]; }
  const Char& back() const noexcept { return data_[size_ - 1]; }

  void reserve(std::size_t capacity) {
    if (capacity > capacity_) Grow(capacity);
  }
  void resize(std::size_t size, Char c = Char()) {
    if (size > size_) {
      append(size - size_, c);
    } else {
      Terminate(size);
    }
  }
  void clear() noexcept { Terminate(0); }

  BasicString& append(View text) {
    if (text.empty()) return *this;
    const std::size_t size = size_;
    Char* old = MakeRoom(text.size());  // kept until copied from: `text` may lie in it
    std::memmove(data_ + size, text.data(), text.size() * sizeof(Char));
    ::operator delete(old);
    Terminate(size + text.size());
    return *this;
  }
  BasicString& append(const Char* text, std::size_t size) { return append(View(text, size)); }
  BasicString& append(std::size_t count, Char c) {
    const std::size_t size = size_;
    ::operator delete(MakeRoom(count));
    for (std::size_t i = 0; i < count; ++i) data_[size + i] = c;
    Terminate(size + count);
    return *this;
  }
  BasicString& operator+=(View text) { return append(text); }
  BasicString& operator+=(const BasicString& text) { return append(View(text)); }
  BasicString& operator+=(const Char* text) { return append(View(text)); }
  BasicString& operator+=(Char c) { return append(1, c); }
  void push_back(Char c) { append(1, c); }
  void pop_back() noexcept { Terminate(size_ - 1); }

  BasicString& insert(std::size_t position, View text) {
    return replace(position, 0, text);
  }
  BasicString& erase(std::size_t position = 0, std::size_t count = npos) {
    return replace(position, count, View());
  }
  Char* erase(const Char* first, const Char* last) {
    const std::size_t position = first - data();
    replace(position, last - first, View());
    return data() + position;
  }
  BasicString& replace(std::size_t position, std::size_t count, View text) {
    CheckPosition(position);
    count = Clamped(position, count);
    BasicString result;
    result.reserve(size_ - count + text.size());
    result.append(View(data(), position)).append(text);
    result.append(View(data() + position + count, size_ - position - count));
    return *this = std::move(result);
  }

  BasicString substr(std::size_t position = 0, std::size_t count = npos) const {
    CheckPosition(position);
    return BasicString(data() + position, Clamped(position, count));
  }

  // Each as std::basic_string_view's member of that name, for text or a character.
  template <typename What>
  std::size_t find(const What& what, std::size_t from = 0) const noexcept {
    return View(*this).find(what, from);
  }
  template <typename What>
  std::size_t rfind(const What& what, std::size_t from = npos) const noexcept {
    return View(*this).rfind(what, from);
  }
  template <typename What>
  std::size_t find_first_of(const What& what, std::size_t from = 0) const noexcept {
    return View(*this).find_first_of(what, from);
  }
  template <typename What>
  std::size_t find_last_of(const What& what, std::size_t from = npos) const noexcept {
    return View(*this).find_last_of(what, from);
  }
  template <typename What>
  bool starts_with(const What& what) const noexcept {
    return View(*this).starts_with(what);
  }
  template <typename What>
  bool ends_with(const What& what) const noexcept {
    return View(*this).ends_with(what);
  }

  friend bool operator==(const BasicString& a, const BasicString& b) noexcept {
    return View(a) == View(b);
  }
  friend bool operator==(const BasicString& a, View b) noexcept { return View(a) == b; }
  friend bool operator==(const BasicString& a, const Char* b) noexcept { return View(a) == b; }
  friend auto operator<=>(const BasicString& a, const BasicString& b) noexcept {
    return View(a) <=> View(b);
  }
  friend auto operator<=>(const BasicString& a, View b) noexcept { return View(a) <=> b; }
  friend auto operator<=>(const BasicString& a, const Char* b) noexcept {
    return View(a) <=> View(b);
  }

  // Text for streams (test frameworks' messages): UTF-8 as it is; other text as its printable
  // ASCII, the rest as \x{hex}.
  friend std::ostream& operator<<(std::ostream& stream, const BasicString& text) {
    if constexpr (sizeof(Char) == 1) return stream.write(text.data(), text.size());
    for (Char c : text) {
      const auto code = static_cast<unsigned long>(static_cast<std::make_unsigned_t<Char>>(c));
      if (code >= 0x20 && code < 0x7f && code != '\\') {
        stream << static_cast<char>(code);
        continue;
      }
      char hex[16];
      int n = 0;
      for (unsigned long rest = code; n == 0 || rest != 0; rest >>= 4) {
        hex[n++] = "0123456789abcdef"[rest & 15];
      }
      stream << "\\x{";
      while (n != 0) stream << hex[--n];
      stream << '}';
    }
    return stream;
  }
  // How test frameworks show a value: quoted.
  friend void PrintTo(const BasicString& text, std::ostream* stream) {
    *stream << '"' << text << '"';
  }

  friend BasicString operator+(const BasicString& a, const BasicString& b) {
    return Joined(a, b);
  }
  friend BasicString operator+(BasicString&& a, const BasicString& b) {
    return std::move(a.append(b));
  }
  friend BasicString operator+(const BasicString& a, View b) { return Joined(a, b); }
  friend BasicString operator+(BasicString&& a, View b) { return std::move(a.append(b)); }
  friend BasicString operator+(const BasicString& a, const Char* b) { return Joined(a, b); }
  friend BasicString operator+(BasicString&& a, const Char* b) { return std::move(a.append(b)); }
  friend BasicString operator+(View a, const BasicString& b) { return Joined(a, b); }
  friend BasicString operator+(const Char* a, const BasicString& b) { return Joined(a, b); }
  friend BasicString operator+(const BasicString& a, Char b) { return Joined(a, View(&b, 1)); }
  friend BasicString operator+(BasicString&& a, Char b) { return std::move(a.append(1, b)); }
  friend BasicString operator+(Char a, const BasicString& b) { return Joined(View(&a, 1), b); }

 private:
  static BasicString Joined(View a, View b) {
    BasicString joined;
    joined.reserve(a.size() + b.size());
    return std::move(joined.append(a).append(b));
  }
  [[noreturn]] static void Broken() noexcept { std::abort(); }
  void CheckPosition(std::size_t position) const noexcept {
    if (position > size_) Broken();
  }
  std::size_t Clamped(std::size_t position, std::size_t count) const noexcept {
    return count < size_ - position ? count : size_ - position;
  }
  void Assign(const Char* text, std::size_t size) {
    reserve(size);
    if (size != 0) std::memcpy(data_, text, size * sizeof(Char));
    if (data_ != nullptr) Terminate(size);
  }
  void Terminate(std::size_t size) noexcept {
    size_ = size;
    if (data_ != nullptr) data_[size] = Char();
  }
  // Room for `more` characters; returns the buffer given up, for the caller to delete.
  [[nodiscard]] Char* MakeRoom(std::size_t more) {
    if (more > kMaxSize - size_) Broken();
    if (size_ + more <= capacity_) return nullptr;
    return Regrown(size_ + more > capacity_ * 2 ? size_ + more : capacity_ * 2);
  }
  void Grow(std::size_t capacity) { ::operator delete(Regrown(capacity)); }
  [[nodiscard]] Char* Regrown(std::size_t capacity) {
    if (capacity > kMaxSize) Broken();
    Char* grown = static_cast<Char*>(::operator new((capacity + 1) * sizeof(Char)));
    if (size_ != 0) std::memcpy(grown, data_, size_ * sizeof(Char));
    grown[size_] = Char();
    capacity_ = capacity;
    return std::exchange(data_, grown);
  }
  static constexpr std::size_t kMaxSize = static_cast<std::size_t>(-1) / sizeof(Char) / 2 - 1;

  Char* data_ = nullptr;  // with room for capacity_ + 1; none while nothing was stored
  // What data() shows while nothing was stored. std lets a caller write Char() over the
  // terminator; a shared static would make two threads' writes a data race, and a read-only
  // one a crash, so each string carries its own.
  Char terminator_ = Char();
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// UTF-8 (or bytes), UTF-16 as Windows' wide text, UTF-16 as the registry's portable form.
using String = BasicString<char>;
using WString = BasicString<wchar_t>;
using U16String = BasicString<char16_t>;

// `value` in decimal digits, as std::to_string writes it.
inline String DecimalString(long long value) {
  char digits[24];
  char* first = digits + sizeof digits;
  unsigned long long magnitude = value < 0 ? 0 - static_cast<unsigned long long>(value) : value;
  do {
    *--first = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--first = '-';
  return String(first, digits + sizeof digits - first);
}

}  // namespace tolvarin

#endif  // TOLVARIN_PLATFORM_TEXT_H_
