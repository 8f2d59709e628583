// Thread timers and message queues, and the manual clock that tests put
// under them. All queues share one mutex: timer identifiers are process-wide
// and KillTimer may come from any thread, and the traffic is small.
#include "platform/message_queue.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>

#include <pthread.h>

#include "platform/manual_clock.h"

namespace {

using Millis = unsigned long long;
constexpr Millis kNever = ~Millis{0};

struct Timer {
  UINT interval;
  Millis due;  // next expiry on the timer clock
  TIMERPROC proc;
  bool waiting = false;  // a WM_TIMER for it waits in the queue
  Millis waitingSince = 0;
};

struct ThreadQueue {
  std::condition_variable wake;
  std::deque<MSG> posted;
  std::map<UINT_PTR, Timer> timers;
  bool quit = false;
  int quitCode = 0;
};

struct TimerState {
  std::mutex mutex;
  // Which queue holds each live timer.
  std::map<UINT_PTR, ThreadQueue*> owners;
  UINT_PTR lastId = 0;
  bool manual = false;
  Millis manualNow = 0;
  bool refuse = false;
};

// Never destroyed, so that threads ending during process exit still find it.
TimerState& State() {
  static TimerState* state = new TimerState;
  return *state;
}

Millis RealNow() {
  return static_cast<Millis>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count());
}

Millis NowLocked(const TimerState& state) { return state.manual ? state.manualNow : RealNow(); }

// The calling thread's queue, created on first use; its timers die with the
// thread. It hangs on a thread-specific key rather than on a thread_local
// object with a destructor: the loader keeps a library mapped while any
// thread holds such an object of it, so a host thread that once started a
// timer would keep the component from unloading. When the library goes
// first, the key goes with it and the queues of threads still running are
// left allocated (a thread may still be waiting on its queue).
class QueueKey {
 public:
  QueueKey() { created_ = pthread_key_create(&key_, &QueueKey::ThreadEnded) == 0; }
  ~QueueKey() {
    if (created_) pthread_key_delete(key_);
  }
  QueueKey(const QueueKey&) = delete;
  QueueKey& operator=(const QueueKey&) = delete;

  ThreadQueue& Get() {
    if (!created_) throw std::system_error(EAGAIN, std::generic_category(), "thread queue key");
    auto* queue = static_cast<ThreadQueue*>(pthread_getspecific(key_));
    if (queue) return *queue;
    auto owned = std::make_unique<ThreadQueue>();
    int error = pthread_setspecific(key_, owned.get());
    if (error != 0) throw std::system_error(error, std::generic_category(), "thread queue");
    return *owned.release();
  }

 private:
  static void ThreadEnded(void* value) {
    std::unique_ptr<ThreadQueue> queue(static_cast<ThreadQueue*>(value));
    TimerState& state = State();
    std::lock_guard lock(state.mutex);
    for (const auto& entry : queue->timers) state.owners.erase(entry.first);
  }

  pthread_key_t key_{};
  bool created_ = false;
};

QueueKey currentQueue;

bool InRange(UINT message, UINT filterMin, UINT filterMax) {
  return (filterMin == 0 && filterMax == 0) || (message >= filterMin && message <= filterMax);
}

// Turns expiries up to `now` into waiting WM_TIMER messages (one per timer)
// and moves each expired timer to its next expiry after `now`.
void MarkDueTimers(ThreadQueue& queue, Millis now) {
  for (auto& [id, timer] : queue.timers) {
    if (timer.due > now) continue;
    if (!timer.waiting) {
      timer.waiting = true;
      timer.waitingSince = timer.due;
    }
    timer.due += ((now - timer.due) / timer.interval + 1) * timer.interval;
  }
}

// Posted messages first, then WM_QUIT (whatever the filter), then the timer
// that has waited longest.
bool TakeMessageLocked(TimerState& state, ThreadQueue& queue, MSG* msg, UINT filterMin,
                       UINT filterMax, bool remove) {
  auto posted = std::find_if(queue.posted.begin(), queue.posted.end(), [&](const MSG& m) {
    return InRange(m.message, filterMin, filterMax);
  });
  if (posted != queue.posted.end()) {
    *msg = *posted;
    if (remove) queue.posted.erase(posted);
    return true;
  }
  Millis now = NowLocked(state);
  if (queue.quit) {
    *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, static_cast<DWORD>(now),
               {0, 0}};
    if (remove) queue.quit = false;
    return true;
  }
  if (!InRange(WM_TIMER, filterMin, filterMax)) return false;
  MarkDueTimers(queue, now);
  auto oldest = queue.timers.end();
  for (auto it = queue.timers.begin(); it != queue.timers.end(); ++it) {
    if (it->second.waiting &&
        (oldest == queue.timers.end() || it->second.waitingSince < oldest->second.waitingSince))
      oldest = it;
  }
  if (oldest == queue.timers.end()) return false;
  *msg = MSG{nullptr,
             WM_TIMER,
             oldest->first,
             reinterpret_cast<LPARAM>(oldest->second.proc),
             static_cast<DWORD>(now),
             {0, 0}};
  if (remove) oldest->second.waiting = false;
  return true;
}

// Waits until something may have changed: a notification, `realDeadline`,
// or (on the real clock) the next expiry of one of the queue's timers.
void WaitLocked(TimerState& state, ThreadQueue& queue, std::unique_lock<std::mutex>& lock,
                Millis realDeadline) {
  Millis until = realDeadline;
  if (!state.manual) {
    for (const auto& entry : queue.timers) until = std::min(until, entry.second.due);
  }
  if (until == kNever) {
    queue.wake.wait(lock);
  } else {
    queue.wake.wait_until(lock,
                          std::chrono::steady_clock::time_point(std::chrono::milliseconds(until)));
  }
}

void NotifyAllQueuesLocked(TimerState& state) {
  for (const auto& entry : state.owners) entry.second->wake.notify_all();
}

// Dispatches the calling thread's waiting WM_TIMER messages.
void DispatchTimerMessages() {
  MSG msg;
  while (PeekMessage(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) DispatchMessage(&msg);
}

}  // namespace

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
  if (hWnd) return 0;
  ThreadQueue& queue = currentQueue.Get();
  TimerState& state = State();
  std::lock_guard lock(state.mutex);
  if (state.refuse) return 0;
  UINT interval = std::clamp(uElapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
  Timer timer{interval, NowLocked(state) + interval, lpTimerFunc};
  if (nIDEvent != 0) {
    auto existing = queue.timers.find(nIDEvent);
    if (existing != queue.timers.end()) {
      existing->second = timer;
      return nIDEvent;
    }
  }
  do {
    ++state.lastId;
  } while (state.lastId == 0 || state.owners.count(state.lastId) != 0);
  queue.timers.emplace(state.lastId, timer);
  state.owners.emplace(state.lastId, &queue);
  return state.lastId;
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
  if (hWnd) return FALSE;
  TimerState& state = State();
  std::lock_guard lock(state.mutex);
  auto owner = state.owners.find(uIDEvent);
  if (owner == state.owners.end()) return FALSE;
  owner->second->timers.erase(uIDEvent);
  state.owners.erase(owner);
  return TRUE;
}

BOOL GetMessage(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  if (!lpMsg || hWnd) return -1;
  ThreadQueue& queue = currentQueue.Get();
  TimerState& state = State();
  std::unique_lock lock(state.mutex);
  while (!TakeMessageLocked(state, queue, lpMsg, wMsgFilterMin, wMsgFilterMax, true))
    WaitLocked(state, queue, lock, kNever);
  return lpMsg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessage(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
  if (!lpMsg || hWnd) return FALSE;
  ThreadQueue& queue = currentQueue.Get();
  TimerState& state = State();
  std::lock_guard lock(state.mutex);
  return TakeMessageLocked(state, queue, lpMsg, wMsgFilterMin, wMsgFilterMax,
                           (wRemoveMsg & PM_REMOVE) != 0)
             ? TRUE
             : FALSE;
}

LRESULT DispatchMessage(const MSG* lpMsg) {
  if (lpMsg && lpMsg->message == WM_TIMER && lpMsg->lParam != 0) {
    auto procedure = reinterpret_cast<TIMERPROC>(lpMsg->lParam);
    procedure(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, lpMsg->time);
  }
  return 0;
}

void PostQuitMessage(int nExitCode) {
  ThreadQueue& queue = currentQueue.Get();
  TimerState& state = State();
  std::lock_guard lock(state.mutex);
  queue.quit = true;
  queue.quitCode = nExitCode;
}

namespace platform {

bool PumpMessages() {
  MSG msg;
  while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) return false;
    DispatchMessage(&msg);
  }
  return true;
}

bool PumpMessagesFor(DWORD milliseconds) {
  Millis deadline = RealNow() + milliseconds;
  ThreadQueue& queue = currentQueue.Get();
  TimerState& state = State();
  for (;;) {
    if (!PumpMessages()) return false;
    std::unique_lock lock(state.mutex);
    if (RealNow() >= deadline) return true;
    MSG msg;
    if (!TakeMessageLocked(state, queue, &msg, 0, 0, false))
      WaitLocked(state, queue, lock, deadline);
  }
}

ScopedManualClockForTesting::ScopedManualClockForTesting() {
  TimerState& state = State();
  std::lock_guard lock(state.mutex);
  start_ = NowLocked(state);
  replacedManual_ = state.manual;
  state.manual = true;
  state.manualNow = start_;
}

ScopedManualClockForTesting::~ScopedManualClockForTesting() {
  TimerState& state = State();
  std::lock_guard lock(state.mutex);
  state.manual = replacedManual_;
  state.refuse = false;
  NotifyAllQueuesLocked(state);
}

void ScopedManualClockForTesting::Advance(DWORD milliseconds) {
  ThreadQueue& queue = currentQueue.Get();
  TimerState& state = State();
  Millis target;
  {
    std::lock_guard lock(state.mutex);
    target = state.manualNow + milliseconds;
  }
  for (;;) {
    DispatchTimerMessages();
    std::lock_guard lock(state.mutex);
    Millis next = kNever;
    for (const auto& entry : queue.timers) next = std::min(next, entry.second.due);
    if (next > target) {
      state.manualNow = target;
      NotifyAllQueuesLocked(state);
      break;
    }
    state.manualNow = std::max(state.manualNow, next);
    NotifyAllQueuesLocked(state);
  }
  DispatchTimerMessages();
}

DWORD ScopedManualClockForTesting::Elapsed() const {
  TimerState& state = State();
  std::lock_guard lock(state.mutex);
  return static_cast<DWORD>(state.manualNow - start_);
}

void ScopedManualClockForTesting::RefuseNewTimers(bool refuse) {
  TimerState& state = State();
  std::lock_guard lock(state.mutex);
  state.refuse = refuse;
}

}  // namespace platform
