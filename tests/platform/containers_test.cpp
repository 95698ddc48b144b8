// The project's string, vector, function and result types where they once parted from std's,
// and the reads that must stop the program. That every member does as std's does, under any
// edits, is tests/fuzz/containers_fuzzer.cpp's to find.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/function.h"
#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin {
namespace {

using platform::Error;
using platform::Outcome;
using platform::Result;

struct Box { int base; };

// ::operator new would misplace an over-aligned element: Vector refuses the type.
template <typename T>
concept Storable = requires { typename Vector<T>; };
struct alignas(64) OverAligned { char byte; };
static_assert(Storable<String> && Storable<std::unique_ptr<int>> && !Storable<OverAligned>);

TEST(Containers, DoAsStdDoes) {
  const struct {
    const char* description;
    bool (*holds)();
  } kCases[] = {
      {"an empty range erased in the middle keeps every element", [] {
         Vector<std::string> v = {"alpha", "beta"};  // whose move onto itself empties it
         return v.erase(v.begin() + 1, v.begin() + 1) == v.begin() + 1 &&
                v == Vector<std::string>{"alpha", "beta"};
       }},
      {"an empty string's terminator takes the null character", [] {
         String s;
         *static_cast<volatile char*>(s.data() + s.size()) = '\0';  // a store kept, even if idle
         s[s.size()] = '\0';
         return s.c_str()[0] == '\0';
       }},
      {"a null function pointer makes an empty function",
       [] { return !Function<void()>(static_cast<void (*)()>(nullptr)); }},
      {"a null member pointer makes an empty function",
       [] { return !Function<int(const Box&)>(static_cast<int Box::*>(nullptr)); }},
      {"an empty function of another type makes an empty function",
       [] { return !Function<long()>(Function<int()>()); }},
      {"a member pointer is called on the object passed",
       [] { return Function<int(const Box&)>(&Box::base)(Box{42}) == 42; }},
      {"a void function drops what its callable returns", [] {
         int calls = 0;
         Function<void()>([&calls] { return ++calls; })();
         return calls == 1;
       }},
      {"a move-only callable, moved", [] {
         Function<int(int)> add = [base = std::make_unique<int>(40)](int n) { return *base + n; };
         const Function<int(int)> moved = std::move(add);
         return moved && moved(2) == 42 && !Function<int(int)>();
       }},
  };
  for (const auto& c : kCases) EXPECT_TRUE(c.holds()) << c.description;
}

// A death test starts the program again; under Wine that is untried, so Linux runs these.
#if GTEST_HAS_DEATH_TEST && !defined(_WIN32)
TEST(ContainersDeathTest, ReadingTheAbsentSideAborts) {
  const struct {
    const char* description;
    void (*read)();
  } kCases[] = {
      {"a failure's value", [] { (void)Result<int>(Error(1, "x")).value(); }},
      {"a failure's value through *", [] { (void)*Result<int>(Error(1, "x")); }},
      {"a failure's value through ->", [] { (void)Result<String>(Error(1, "x"))->size(); }},
      {"a value's error", [] { (void)Result<int>(1).error(); }},
      {"a success's error", [] { (void)Outcome().error(); }},
  };
  for (const auto& c : kCases) EXPECT_DEATH(c.read(), "") << c.description;
}
#endif

}  // namespace
}  // namespace tolvarin
