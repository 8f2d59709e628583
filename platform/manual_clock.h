// A clock for the thread timers of platform/message_queue.h that moves only
// when a test says so, so that timing cases are exact and take no real time
// (Linux only; on Windows the timers are the system's).
//
//   platform::ScopedManualClockForTesting clock;
//   timer.Start(200, &callback);
//   clock.Advance(199);   // nothing fires
//   clock.Advance(1);     // the timer procedure runs, on this thread
#pragma once

#include "medley/com_base.h"

namespace platform {

class ScopedManualClockForTesting {
 public:
  // Installs a manual clock that starts at the current time of the clock it
  // replaces; timers created before keep their due times.
  ScopedManualClockForTesting();
  // Restores the previous clock.
  ~ScopedManualClockForTesting();
  ScopedManualClockForTesting(const ScopedManualClockForTesting&) = delete;
  ScopedManualClockForTesting& operator=(const ScopedManualClockForTesting&) = delete;

  // Moves the clock forward by `milliseconds`, stopping at each moment a
  // timer of the calling thread falls due and dispatching its WM_TIMER there,
  // so a callback sees the exact time it was due. Other messages stay queued.
  void Advance(DWORD milliseconds);
  // Milliseconds since this clock was installed.
  DWORD Elapsed() const;

  // While set, SetTimer answers 0 as when the system is out of timers.
  void RefuseNewTimers(bool refuse);

 private:
  unsigned long long start_;  // the time at installation
  bool replacedManual_;       // a manual clock was in place before this one
};

}  // namespace platform
