#ifndef TOLVARIN_TESTS_THIRD_PARTY_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_
#define TOLVARIN_TESTS_THIRD_PARTY_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_

// GoogleTest's own customisation point, found before its (empty) one. GoogleTest builds the
// Notification its own thread tests wait on from std::mutex and std::condition_variable, which
// the win32 thread model lacks; nothing else in it uses them. This one spins on an atomic flag.

#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { notified_.store(true); }
  void WaitForNotification() {
    while (!notified_.load()) {
    }
  }

 private:
  std::atomic<bool> notified_{false};
};

}  // namespace testing::internal

#endif  // TOLVARIN_TESTS_THIRD_PARTY_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_
