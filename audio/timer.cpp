#include "audio/timer.h"

#include <map>
#include <stdexcept>

#include "platform/message_queue.h"
#include "platform/sync.h"
#include "platform/trace.h"

namespace {

// The process-wide timer map and its lock; never destroyed, so that a timer
// message dispatched during process exit still finds them.
struct TimerRegistry {
  platform::CriticalSection lock;
  std::map<UINT_PTR, CTimer*> timers;
};

TimerRegistry& Registry() {
  static TimerRegistry* registry = new TimerRegistry;
  return *registry;
}

}  // namespace

CTimer::~CTimer() { CTimer::Stop(); }

void CTimer::Start(UINT milliseconds, ITimerCallback* callback) {
  callback_ = callback;
  if (IsRunning()) Stop();
  UINT_PTR id = SetTimer(nullptr, 0, milliseconds, &CTimer::TimerProc);
  if (id == 0) throw std::runtime_error("CTimer::Start, SetTimer() failed");
  id_ = id;
  TimerRegistry& registry = Registry();
  platform::CriticalSectionLock lock(registry.lock);
  registry.timers[id] = this;
}

void CTimer::Stop() {
  if (id_ == 0) return;
  KillTimer(nullptr, id_);
  TimerRegistry& registry = Registry();
  {
    platform::CriticalSectionLock lock(registry.lock);
    registry.timers.erase(id_);
  }
  id_ = 0;
}

void CTimer::Fire() {
  if (callback_) callback_->OnTimer(this);
}

void CALLBACK CTimer::TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  CTimer* timer = nullptr;
  {
    TimerRegistry& registry = Registry();
    platform::CriticalSectionLock lock(registry.lock);
    auto found = registry.timers.find(id);
    if (found != registry.timers.end()) timer = found->second;
  }
  if (!timer) return;
  // The message loop that called us is the host's: nothing may escape.
  try {
    timer->Fire();
  } catch (...) {
    platform::Trace("CTimer::TimerProc, the timer callback threw");
  }
}

void CToneTimer::Fire() {
  Stop();
  if (ITimerCallback* callback = Callback()) callback->OnTimer(this);
}
