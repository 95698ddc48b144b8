// Differential fuzz target of the own String, WString, U16String, Vector and Function: each
// input is a run of edits made alike on ours and on std's, which must agree after every one, with
// arguments from the objects themselves. Calls with which std would throw (ours abort) are skipped.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/function.h"
#include "platform/text.h"
#include "platform/vector.h"

#define CHECK(condition) \
  if (!(condition)) __builtin_trap()

namespace {

constexpr std::size_t kMaxSize = 300;  // past it an object is cleared

// x: which objects (2 bits), then a letter or an element's value.
struct Args { unsigned op, x; std::size_t i, j, k; };
// A position within [0, size]; one also past the end; a count, perhaps past the end or npos.
std::size_t In(std::size_t raw, std::size_t size) { return raw % (size + 1); }
std::size_t Past(std::size_t raw, std::size_t size) { return raw % (size + 3); }
std::size_t Count(std::size_t raw, std::size_t size) { return raw % 7 ? raw % (size + 3) : -1; }

// Owns heap memory; its lives are counted, to show an element leaked or destroyed twice.
template <bool kCopyable>
struct Item {
  static inline long lives = 0;
  std::unique_ptr<int> held;
  explicit Item(int value = 0) : held(std::make_unique<int>(value)) { ++lives; }
  Item(const Item& other) requires kCopyable : Item(*other.held) {}
  Item(Item&& other) noexcept : held(std::move(other.held)) { ++lives; }
  ~Item() { --lives; }
  Item& operator=(const Item& other) requires kCopyable { return *this = Item(other); }
  // std's containers never move an element onto itself, which would empty a std::string.
  Item& operator=(Item&& o) noexcept { CHECK(this != &o); held = std::move(o.held); return *this; }
  bool operator==(const Item& other) const { return *held == *other.held; }
};

struct Box { int base; int Plus(int x) const { return base + x; } };
int Twice(const Box& box, int x) { return 2 * x - box.base; }
using Signature = int(const Box&, int);

// C++20's strings cannot be joined with a view, as ours can; the reference joins as C++26's do.
template <typename C>
std::basic_string<C> operator+(std::basic_string<C> a, std::basic_string_view<C> b) {
  return a += b;
}
template <typename C>
std::basic_string<C> operator+(std::basic_string_view<C> a, const std::basic_string<C>& b) {
  return std::basic_string<C>(a) += b;
}

// One edit a macro, tried in turn: the input's op-th, counted round. Each edits s, given t
// (perhaps s itself); what an ASK answers is compared too.
#define DO(...) if (op-- == 0) { __VA_ARGS__; return 0; }
#define ASK(...) if (op-- == 0) return static_cast<std::size_t>(__VA_ARGS__);

constexpr auto kEditText = []<typename S>(S& s, S& t, const Args& a) -> std::size_t {
  using C = typename S::value_type;
  const std::size_t n = s.size(), m = t.size(), p = In(a.i, n), q = In(a.j, m), e = Past(a.k, n);
  const std::basic_string_view<C> part = std::basic_string_view<C>(t).substr(q, Count(a.k, m));
  const C c = static_cast<C>(a.x >> 2 & 3 ? "\0ab"[a.x >> 2 & 3] : 0x263A);
  for (unsigned op = a.op;;) {
    DO(s.append(part)) DO(s.append(part.data(), part.size())) DO(s.append(a.k % 5, c))
    DO(s += part) DO(s += t) DO(s += t.c_str()) DO(s += c) DO(s.push_back(c))
    DO(if (n != 0) s.pop_back()) DO(s.insert(p, part)) ASK(&s.erase(p, Count(a.j, n)) == &s)
    DO(s.erase()) ASK(s.erase(s.begin() + p, s.begin() + p + a.j % (n - p + 1)) - s.begin())
    DO(s.replace(p, Count(a.j, n), part)) DO(s = t.substr(q, Count(a.k, m))) DO(s = t)
    DO(s = part) DO(s = t.c_str()) DO(s.assign(part)) DO(s.reserve(a.j % 64))
    DO(s.resize(a.j % 40, c)) DO(s.resize(a.j % 40)) DO(s.clear()) DO(if (n) s[a.j % n] = c)
    DO(if (n != 0) s.front() = s.back() = c)
    DO(s.data()[n] = C(); s[n] = C())  // the terminator, which std lets one set to C()
    ASK(s.find(part, e)) ASK(s.find(t, e)) ASK(s.find(c, e)) ASK(s.rfind(part, e))
    ASK(s.rfind(t.c_str(), e)) ASK(s.rfind(c, e)) ASK(s.find_first_of(part, e))
    ASK(s.find_first_of(c, e)) ASK(s.find_last_of(t, e)) ASK(s.find_last_of(c, e))
    ASK(s.starts_with(part) | s.ends_with(part) << 1 | s.starts_with(c) << 2 |
        s.ends_with(c) << 3 | s.starts_with(t.c_str()) << 4 | s.ends_with(t) << 5)
    DO(s = S(part.data(), part.size())) DO(s = S(a.k % 5, c)) DO(s = S(part.begin(), part.end()))
    DO(s = S(part)) DO(s = S(std::basic_string<C>(part))) DO(s = S(t.c_str()))
    DO(S copy(t); s = std::move(copy)) DO(S moved(std::move(t)); t.clear(); s = std::move(moved))
    DO(s = t + s + part) DO(s = part + (t + c)) DO(s = c + (t + t.c_str()) + c)
    DO(s = t.c_str() + (t + part) + t.c_str())
  }
};

template <typename E> const tolvarin::Vector<E>& Range(const tolvarin::Vector<E>& v) { return v; }
template <typename E> std::vector<E> Range(const std::vector<E>& v) { return v; }

constexpr auto kEditVector = []<typename V>(V& s, V& t, const Args& a) -> std::size_t {
  using E = typename V::value_type;
  constexpr bool kCopy = std::is_copy_constructible_v<E>;
  const std::size_t n = s.size(), m = t.size(), p = In(a.i, n), q = In(a.j, m);
  const std::size_t r = q + a.k % (m - q + 1), x = a.x >> 2;
  for (unsigned op = a.op;;) {
    DO(s.push_back(E(x))) DO(if constexpr (kCopy) if (m != 0) s.push_back(t[a.j % m]))
    ASK(&s.emplace_back(x) == &s.back()) DO(if constexpr (kCopy) if (m) s.emplace_back(t[a.j % m]))
    DO(if (n != 0) s.pop_back()) ASK(s.insert(s.begin() + p, E(x)) - s.begin())
    DO(if constexpr (kCopy) if (m != 0) s.insert(s.begin() + p, t[a.j % m]))
    ASK(s.erase(s.begin() + p, s.begin() + p + a.j % (n - p + 1)) - s.begin())
    DO(if (n != 0) s.erase(s.begin() + a.j % n)) DO(s.resize(a.j % 12)) DO(s.reserve(a.j % 40))
    DO(if constexpr (kCopy) s.assign(a.j % 6, E(x))) DO(s.clear()) DO(if constexpr (kCopy) s = t)
    DO(V moved(std::move(t)); t.clear(); s = std::move(moved)) DO(s = V(a.j % 5))
    DO(if constexpr (kCopy) s = V(a.j % 5, E(x))) DO(if constexpr (kCopy) s = V{E(x), E(x + 1)})
    DO(if constexpr (kCopy) s = V(t.begin() + q, t.begin() + r))
    DO(if constexpr (kCopy) { V copy(t); s = std::move(copy); })
    DO(if (n != 0) { s[a.j % n] = E(x); s.front() = E(x + 1); s.back() = E(x + 2); })
    ASK(s == t)
    if constexpr (kCopy) ASK([&] {  // a copy of a range for std, which forbids inserting its own
      const auto& range = Range(t);
      return s.insert(s.begin() + p, range.begin() + q, range.begin() + r) - s.begin();
    }())
  }
};

constexpr auto kEditFunction = []<template <typename> class Fn>(Fn<Signature>& s,
                                                                 Fn<Signature>& t, const Args& a) {
  const int x = static_cast<int>(a.x >> 2);
  for (unsigned op = a.op;;) {
    DO(s = [held = std::make_shared<int>(x)](const Box& b, int y) { return *held * y + b.base; })
    DO(s = nullptr) DO(s = x % 2 ? &Twice : static_cast<int (*)(const Box&, int)>(nullptr))
    DO(s = x % 2 ? &Box::Plus : static_cast<int (Box::*)(int) const>(nullptr))
    DO(Fn<Signature> moved(std::move(t)); t = nullptr; s = std::move(moved))
    DO(Fn<long(const Box&, int)> other; if (x % 2) other = &Twice; s = std::move(other))
    DO(Fn<void(const Box&, int)> discarding = &Twice; discarding(Box{x}, x))
  }
};

// Makes each edit of the input on ours and on std's objects of one kind; after each, every
// object must be as std's is, and the two of a kind compare alike.
template <typename Ours, typename Theirs, typename Edit>
void Run(FuzzedDataProvider& in, Edit edit) {
  Ours ours[2];
  Theirs theirs[2];
  const auto byte = [&in] { return in.ConsumeIntegral<std::uint8_t>(); };
  const auto word = [&in] { return in.ConsumeIntegral<std::uint16_t>(); };
  while (in.remaining_bytes() != 0) {
    const Args a{byte(), byte(), word(), word(), word()};
    const unsigned one = a.x & 1, other = a.x >> 1 & 1;
    CHECK(edit(ours[one], ours[other], a) == edit(theirs[one], theirs[other], a));
    for (int i : {0, 1}) {
      auto& o = ours[i];
      const auto& c = o;
      const auto& t = theirs[i];
      if constexpr (requires { c.size(); }) {
        CHECK(o.size() == t.size() && o.empty() == t.empty() && o.data() == o.begin() &&
              c.data() == c.begin() && o.end() == o.begin() + t.size() && c.end() == o.end() &&
              std::equal(c.begin(), c.end(), t.begin(), t.end()));
        if (!t.empty()) CHECK(o.front() == t.front() && c.front() == t.front() && o[0] == c[0] &&
                              o.back() == t.back() && c.back() == t.back());
        if (t.size() > kMaxSize) o.clear(), theirs[i].clear();  // self-appends double it
      } else {
        CHECK(!o == !t && (!t || o(Box{3}, 5) == t(Box{3}, 5)));  // an empty one aborts
      }
      if constexpr (requires { o.rbegin(); }) {
        CHECK(std::equal(o.rbegin(), o.rend(), t.rbegin(), t.rend()) && c.rbegin() == o.rbegin() &&
              c.rend() == o.rend());
      }
      if constexpr (requires { c.c_str(); }) {
        std::ostringstream shown;
        PrintTo(c, &(shown << c));
        CHECK(c.c_str() == c.data() && c.c_str()[t.size()] == 0);
        if constexpr (sizeof(t[0]) == 1) CHECK(shown.str() == t + '"' + t + '"');
      }
    }
    if constexpr (requires { ours[0].c_str(); }) {
      const auto& [u, v] = ours;
      const auto& [x, y] = theirs;
      const std::basic_string_view view(y.data(), y.size());
      CHECK((u == v) == (x == y) && (u == view) == (x == y) && (u == v.c_str()) == (x == y.c_str())
            && ((u <=> v) < 0) == (x < y) && ((u <=> view) > 0) == (x > y) &&
            ((u <=> v.c_str()) == 0) == (x == y.c_str()));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const long long number = in.ConsumeIntegral<long long>();
  CHECK(std::string_view(tolvarin::DecimalString(number)) == std::to_string(number));
  switch (in.ConsumeIntegral<std::uint8_t>() % 6) {
    case 0: Run<tolvarin::String, std::string>(in, kEditText); break;
    case 1: Run<tolvarin::WString, std::wstring>(in, kEditText); break;
    case 2: Run<tolvarin::U16String, std::u16string>(in, kEditText); break;
    case 3: Run<tolvarin::Vector<Item<true>>, std::vector<Item<true>>>(in, kEditVector); break;
    case 4: Run<tolvarin::Vector<Item<false>>, std::vector<Item<false>>>(in, kEditVector); break;
    default: Run<tolvarin::Function<Signature>, std::function<Signature>>(in, kEditFunction);
  }
  CHECK(Item<true>::lives == 0 && Item<false>::lives == 0);
  return 0;
}
