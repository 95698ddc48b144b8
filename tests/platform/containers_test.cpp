// The project's vector, function and result types where they once parted from std's in what
// tests/fuzz/containers_fuzzer.cpp cannot compare with std's (an over-aligned or move-only
// element, a member data pointer, what a void function's callable returns), and the reads that
// must stop the program. The target's corpus replays the other partings it found.
#include <memory>

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
      {"a null member pointer makes an empty function",
       [] { return !Function<int(const Box&)>(static_cast<int Box::*>(nullptr)); }},
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
