// CTimer: a thread timer (platform SetTimer without a window) that calls an
// ITimerCallback each time it fires, and CToneTimer, its one-shot form.
//
// The timer fires on the thread that started it, when that thread pumps its
// messages; start, stop and destroy it on that thread. All timers of the
// process share one map from timer identifier to CTimer under one lock; the
// common timer procedure looks the identifier up there, so a timer that was
// stopped (or destroyed, which stops it) is never called, even when its
// message was already queued.
#pragma once

#include "platform/system_types.h"

class CTimer;

class ITimerCallback {
 public:
  virtual void OnTimer(CTimer* timer) = 0;

 protected:
  ~ITimerCallback() = default;
};

class CTimer {
 public:
  // The virtual operations, in this order: destructor, Start, Stop, Fire.
  CTimer() = default;
  // Stops the timer.
  virtual ~CTimer();
  CTimer(const CTimer&) = delete;
  CTimer& operator=(const CTimer&) = delete;

  // Fires every `milliseconds` from now on, calling `callback` (borrowed; it
  // must outlive the running timer). A running timer is stopped first.
  // Throws std::runtime_error "CTimer::Start, SetTimer() failed" when the
  // system refuses a timer.
  virtual void Start(UINT milliseconds, ITimerCallback* callback);
  // Nothing fires after this; a stopped timer stays stopped.
  virtual void Stop();
  bool IsRunning() const { return id_ > 0; }

 protected:
  // Runs when the timer fires: calls the callback and keeps running.
  virtual void Fire();
  ITimerCallback* Callback() const { return callback_; }

 private:
  static void CALLBACK TimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);

  ITimerCallback* callback_ = nullptr;
  UINT_PTR id_ = 0;
};

// Fires once: stops itself, then calls the callback (which may start it
// again). Paces DTMF tones.
class CToneTimer final : public CTimer {
 protected:
  void Fire() override;
};
