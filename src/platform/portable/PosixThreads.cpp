#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/Threads.h"

namespace quarnel::platform {

struct Mutex::Native {
  std::mutex mutex;
};

Mutex::Mutex() : native_(std::make_unique<Native>()) {}
Mutex::~Mutex() = default;
void Mutex::Lock() { native_->mutex.lock(); }
void Mutex::Unlock() { native_->mutex.unlock(); }

struct Semaphore::Native {
  std::mutex mutex;
  std::condition_variable posted;
  unsigned count = 0;
};

Semaphore::Semaphore() : native_(std::make_unique<Native>()) {}
Semaphore::~Semaphore() = default;
bool Semaphore::Usable() const { return true; }

void Semaphore::Post(long count) {
  if (count <= 0) return;
  std::lock_guard<std::mutex> lock(native_->mutex);
  native_->count += static_cast<unsigned>(count);
  native_->posted.notify_all();
}

void Semaphore::Wait() {
  std::unique_lock<std::mutex> lock(native_->mutex);
  native_->posted.wait(lock, [this] { return native_->count > 0; });
  --native_->count;
}

bool Semaphore::TryWait() {
  std::lock_guard<std::mutex> lock(native_->mutex);
  if (native_->count == 0) return false;
  --native_->count;
  return true;
}

struct Thread::Native {
  std::thread thread;
};

Thread::Thread() : native_(std::make_unique<Native>()) {}
Thread::~Thread() { Join(); }

bool Thread::Start(std::function<void()> run) {
  if (native_->thread.joinable()) return false;
  try {
    native_->thread = std::thread(std::move(run));
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void Thread::Join() {
  if (native_->thread.joinable()) native_->thread.join();
}

}  // namespace quarnel::platform
