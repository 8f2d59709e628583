#include "audio/timer.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/manual_clock.h"
#include "platform/message_queue.h"

namespace {

using platform::ScopedManualClockForTesting;

// Records the clock time of each call and runs an optional action.
class RecordingCallback : public ITimerCallback {
 public:
  explicit RecordingCallback(const ScopedManualClockForTesting& clock) : clock_(clock) {}
  void OnTimer(CTimer* timer) override {
    firedAt.push_back(clock_.Elapsed());
    lastTimer = timer;
    if (action) action(timer);
  }
  std::vector<DWORD> firedAt;
  CTimer* lastTimer = nullptr;
  std::function<void(CTimer*)> action;

 private:
  const ScopedManualClockForTesting& clock_;
};

class TimerTest : public testing::Test {
 protected:
  ScopedManualClockForTesting clock_;
  RecordingCallback callback_{clock_};
};

TEST_F(TimerTest, PeriodicAndOneShotFiringTimes) {
  struct Row {
    bool oneShot;
    UINT interval;
    DWORD advance;
    std::vector<DWORD> firedAt;
    bool runningAfter;
    DWORD restartAt = 0;  // when non-zero, Start again then: the interval begins anew
  };
  const Row rows[] = {
      {false, 100, 99, {}, true},         {false, 100, 350, {100, 200, 300}, true},
      {false, 100, 170, {150}, true, 50}, {true, 200, 199, {}, true},
      {true, 200, 200, {200}, false},     {true, 200, 1000, {200}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.oneShot << " " << row.advance);
    RecordingCallback callback(clock_);
    DWORD start = clock_.Elapsed();
    std::unique_ptr<CTimer> timer =
        row.oneShot ? std::make_unique<CToneTimer>() : std::make_unique<CTimer>();
    timer->Start(row.interval, &callback);
    EXPECT_TRUE(timer->IsRunning());
    clock_.Advance(row.restartAt);
    if (row.restartAt) timer->Start(row.interval, &callback);
    clock_.Advance(row.advance - row.restartAt);
    for (DWORD& at : callback.firedAt) at -= start;
    EXPECT_EQ(callback.firedAt, row.firedAt);
    EXPECT_EQ(timer->IsRunning(), row.runningAfter);
    if (!row.firedAt.empty()) {
      EXPECT_EQ(callback.lastTimer, timer.get());
    }
  }
}

// A timer destroyed inside its callback, periodic ones too, never fires again
// (AddressSanitizer would report the call).
TEST_F(TimerTest, CallbackMayStopRestartOrDestroyItsTimer) {
  enum Action { kStop, kRestartTwice, kDestroy };
  struct Row {
    Action action;
    bool oneShot;
    std::vector<DWORD> firedAt;  // relative to the start
  };
  const Row rows[] = {{kStop, false, {100}},
                      {kRestartTwice, true, {100, 200, 300}},
                      {kDestroy, true, {100}},
                      {kDestroy, false, {100}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.action);
    RecordingCallback callback(clock_);
    std::unique_ptr<CTimer> timer =
        row.oneShot ? std::make_unique<CToneTimer>() : std::make_unique<CTimer>();
    callback.action = [&](CTimer* t) {
      if (row.action == kStop) t->Stop();
      if (row.action == kRestartTwice && callback.firedAt.size() < 3) t->Start(100, &callback);
      if (row.action == kDestroy) timer.reset();
    };
    DWORD start = clock_.Elapsed();
    timer->Start(100, &callback);
    clock_.Advance(500);
    for (DWORD& at : callback.firedAt) at -= start;
    EXPECT_EQ(callback.firedAt, row.firedAt);
    EXPECT_EQ(timer == nullptr, row.action == kDestroy);
    if (timer) {
      EXPECT_FALSE(timer->IsRunning());
      timer->Stop();  // stopping a stopped timer does nothing
    }
  }
}

// A timer message already taken from the queue must not reach a timer that
// was destroyed meanwhile (AddressSanitizer would report the use).
TEST_F(TimerTest, DestroyingATimerStopsIt) {
  auto timer = std::make_unique<CTimer>();
  timer->Start(50, &callback_);
  std::thread([&] { clock_.Advance(100); }).join();  // due here, not dispatched
  MSG msg;
  ASSERT_TRUE(PeekMessage(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  timer.reset();
  DispatchMessage(&msg);
  clock_.Advance(500);
  EXPECT_TRUE(callback_.firedAt.empty());
}

TEST_F(TimerTest, ARefusedTimerThrows) {
  CTimer timer;
  clock_.RefuseNewTimers(true);
  try {
    timer.Start(100, &callback_);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "CTimer::Start, SetTimer() failed");
  }
  EXPECT_FALSE(timer.IsRunning());
}

TEST_F(TimerTest, FiresOnlyOnTheThreadThatStartedIt) {
  CTimer timer;
  timer.Start(50, &callback_);  // before the other thread moves the clock
  int firedOnOther = 0;
  std::thread other([&] {
    RecordingCallback callback(clock_);
    CTimer own;
    own.Start(50, &callback);
    clock_.Advance(100);  // dispatches the other thread's timers only
    firedOnOther = static_cast<int>(callback.firedAt.size());
  });
  other.join();
  EXPECT_EQ(firedOnOther, 2);
  // The main thread's timer is due but runs only when this thread pumps.
  EXPECT_TRUE(callback_.firedAt.empty());
  EXPECT_TRUE(platform::PumpMessages());
  EXPECT_EQ(callback_.firedAt.size(), 1u);
}

}  // namespace
