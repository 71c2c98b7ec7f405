// GoogleTest on the mingw win32 thread model, which has no std::mutex: gtest's only use
// of it is this start signal for threads, and our tests start no threads.
#pragma once
#ifdef __cplusplus
#define GTEST_HAS_NOTIFICATION_ 1
#include <atomic>
namespace testing {
namespace internal {
class Notification {
 public:
  Notification() : notified_(false) {}
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { notified_.store(true); }
  void WaitForNotification() {
    while (!notified_.load()) {
    }
  }

 private:
  std::atomic<bool> notified_;
};
}  // namespace internal
}  // namespace testing
#endif
