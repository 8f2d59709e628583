// Thread timers and the thread's message queue under their Windows names.
//
// A thread timer (SetTimer with no window) belongs to the thread that created
// it: when it falls due, a WM_TIMER message appears in that thread's queue,
// and DispatchMessage calls the timer procedure on the thread that retrieved
// it. Nothing happens unless the thread pumps its messages, so a host runs a
// message loop (GetMessage/DispatchMessage, or platform::PumpMessages).
//
// On Windows these are the user32 functions. Elsewhere each thread has its own
// queue; timer identifiers are unique in the process and never 0; at most one
// WM_TIMER per timer waits in a queue (expiries that were not retrieved in
// time merge into one); KillTimer takes a waiting WM_TIMER away with the timer
// and may be called from any thread. Tests replace the clock with
// platform::ScopedManualClockForTesting (platform/manual_clock.h).
#pragma once

#include "platform/system_types.h"

#if !defined(_WIN32)

struct POINT {
  LONG x;
  LONG y;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;  // WM_TIMER: the timer identifier
  LPARAM lParam;  // WM_TIMER: the timer procedure
  DWORD time;     // milliseconds on the timer clock
  POINT pt;
};

constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_TIMER = 0x0113;

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// Intervals are clamped to this range.
constexpr UINT USER_TIMER_MINIMUM = 0x0000000A;
constexpr UINT USER_TIMER_MAXIMUM = 0x7FFFFFFF;

// The component exports the functions below with their plain C names: its
// timers post to the queues kept inside it, so a host pumps them through these.
extern "C" {

// Called with (null, WM_TIMER, timer id, message time).
using TIMERPROC = void(CALLBACK*)(HWND, UINT, UINT_PTR, DWORD);

// Creates a periodic timer of the calling thread and answers its identifier,
// or 0 when `hWnd` is not null or the system refuses a timer. With an
// `nIDEvent` that names a timer of the calling thread, that timer is replaced
// and keeps its identifier.
MEDLEY_API UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc);
// Destroys the timer; FALSE when there is no such timer.
MEDLEY_API BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent);

// Waits for the next message of the calling thread within the filter range
// (0, 0 = all) and removes it: posted messages first, then WM_QUIT, then
// timers. FALSE for WM_QUIT, -1 for a non-null `hWnd`.
MEDLEY_API BOOL GetMessage(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
// As GetMessage without waiting: FALSE when no message is available.
MEDLEY_API BOOL PeekMessage(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                            UINT wRemoveMsg);
// Calls the timer procedure of a WM_TIMER message; other messages have no
// window to go to and are dropped. Answers 0.
MEDLEY_API LRESULT DispatchMessage(const MSG* lpMsg);
// Posts WM_QUIT with `nExitCode` to the calling thread's queue.
MEDLEY_API void PostQuitMessage(int nExitCode);

}  // extern "C"

#endif  // !_WIN32

namespace platform {

// Dispatches every message the calling thread has now, without waiting.
// Answers false when it met WM_QUIT (the message loop should end).
bool PumpMessages();
// Dispatches the calling thread's messages as they arrive for `milliseconds`
// of real time. Answers false as soon as it meets WM_QUIT.
bool PumpMessagesFor(DWORD milliseconds);

}  // namespace platform
