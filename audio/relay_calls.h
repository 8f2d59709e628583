// The bookkeeping both relays keep about their calls into the host object:
// one call at a time (the host objects need not be thread-safe), and a
// Close that waits for a call in progress on another thread before it
// makes the end call, so the end call comes last. That wait is bounded: a
// host whose Read or Write waits for the very thread that is closing (it
// asked that thread to stop the stream) is then given its end call while
// that last call still runs, instead of hanging both.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/sync.h"

// A relay's critical section as a lockable for std::unique_lock. The
// relays never hold it while they call the host, so a wait that releases
// it once releases it fully.
class RelaySection {
 public:
  void lock() { section_.Enter(); }
  void unlock() { section_.Leave(); }

 private:
  platform::CriticalSection section_;
};

class RelayCalls {
 public:
  using Lock = std::unique_lock<RelaySection>;
  // The longest Close waits for another thread's call: two engine frames.
  static constexpr std::chrono::milliseconds kCloseWait{40};

  // With the lock held: waits while another thread calls the host object,
  // then counts a call of this thread (a call made from inside another one
  // of the same thread does not wait).
  void Begin(Lock& lock) {
    const std::thread::id self = std::this_thread::get_id();
    done_.wait(lock, [&] { return depth_ == 0 || caller_ == self; });
    caller_ = self;
    ++depth_;
  }
  // With the lock held: the call has returned.
  void End() {
    if (--depth_ == 0) done_.notify_all();
  }
  // With the lock held: whether a call is in progress on any thread.
  bool Busy() const { return depth_ > 0; }
  // With the lock held: waits up to kCloseWait for a call of another thread.
  void WaitForOthers(Lock& lock) {
    const std::thread::id self = std::this_thread::get_id();
    done_.wait_for(lock, kCloseWait, [&] { return depth_ == 0 || caller_ == self; });
  }

 private:
  std::condition_variable_any done_;
  int depth_ = 0;
  std::thread::id caller_;
};
