#include <windows.h>
#include <process.h>

#include <algorithm>
#include <atomic>
#include <climits>

#include "platform/Threads.h"

namespace quarnel::platform {

struct Mutex::Native {
  CRITICAL_SECTION section;
};

Mutex::Mutex() : native_(std::make_unique<Native>()) { InitializeCriticalSection(&native_->section); }
Mutex::~Mutex() { DeleteCriticalSection(&native_->section); }
void Mutex::Lock() { EnterCriticalSection(&native_->section); }
void Mutex::Unlock() { LeaveCriticalSection(&native_->section); }

// The count lives in the process: a Post nobody waits for and a Wait that finds a count take
// no system call. The kernel semaphore only puts threads to sleep and wakes them; under Wine
// each call to it is a round trip to the wineserver process, which made handing pieces
// between the read stages cost more than the stages gained.
struct Semaphore::Native {
  HANDLE handle = nullptr;
  std::atomic<long> count{0};  // when negative: minus the threads sleeping or about to
};

Semaphore::Semaphore() : native_(std::make_unique<Native>()) {
  native_->handle = CreateSemaphoreA(nullptr, 0, LONG_MAX, nullptr);
}

Semaphore::~Semaphore() {
  if (native_->handle) CloseHandle(native_->handle);
}

bool Semaphore::Usable() const { return native_->handle != nullptr; }

void Semaphore::Post(long count) {
  if (!native_->handle || count <= 0) return;
  const long sleeping = -std::min(native_->count.fetch_add(count), 0L);
  if (sleeping > 0) ReleaseSemaphore(native_->handle, std::min(sleeping, count), nullptr);
}

void Semaphore::Wait() {
  if (native_->handle && native_->count.fetch_sub(1) <= 0) WaitForSingleObject(native_->handle, INFINITE);
}

bool Semaphore::TryWait() {
  if (!native_->handle) return false;
  long count = native_->count.load();
  while (count > 0) {
    if (native_->count.compare_exchange_weak(count, count - 1)) return true;
  }
  return false;
}

struct Thread::Native {
  HANDLE handle = nullptr;
  std::function<void()> run;
};

namespace {

// _beginthreadex rather than CreateThread: the thread uses the C runtime (zlib's allocations).
unsigned __stdcall RunThread(void* native) {
  static_cast<Thread::Native*>(native)->run();
  return 0;
}

}  // namespace

Thread::Thread() : native_(std::make_unique<Native>()) {}
Thread::~Thread() { Join(); }

bool Thread::Start(std::function<void()> run) {
  if (native_->handle) return false;
  native_->run = std::move(run);
  uintptr_t handle = _beginthreadex(nullptr, 0, RunThread, native_.get(), 0, nullptr);
  if (handle == 0) return false;
  native_->handle = reinterpret_cast<HANDLE>(handle);
  return true;
}

void Thread::Join() {
  if (!native_->handle) return;
  WaitForSingleObject(native_->handle, INFINITE);
  CloseHandle(native_->handle);
  native_->handle = nullptr;
}

}  // namespace quarnel::platform
