#pragma once
// Threads for work that runs beside the caller's thread. The Windows builds use the Win32
// API directly (their C++ runtime has no std::thread), and only what Windows XP has: critical
// sections, semaphores and threads; no condition variables or slim locks.
#include <functional>
#include <memory>

namespace quarnel::platform {

class Mutex {
 public:
  Mutex();
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;
  void Lock();
  void Unlock();

  struct Native;

 private:
  std::unique_ptr<Native> native_;
};

class MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) : mutex_(mutex) { mutex_.Lock(); }
  ~MutexLock() { mutex_.Unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex& mutex_;
};

// A count that Wait takes one from, waiting while it is zero, and Post adds one to.
class Semaphore {
 public:
  Semaphore();
  ~Semaphore();
  Semaphore(const Semaphore&) = delete;
  Semaphore& operator=(const Semaphore&) = delete;
  // False only when the system has no semaphore to give; Post and Wait then do nothing, and
  // TryWait takes nothing.
  bool Usable() const;
  void Post(long count = 1);  // adds count
  void Wait();
  // Takes one when there is one, without waiting; true when it did.
  bool TryWait();

  struct Native;

 private:
  std::unique_ptr<Native> native_;
};

// One thread running a function; joined when destroyed.
class Thread {
 public:
  Thread();
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  // False when the system starts no thread (the function is then not run).
  bool Start(std::function<void()> run);
  void Join();

  struct Native;

 private:
  std::unique_ptr<Native> native_;
};

}  // namespace quarnel::platform
