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
  };
  const Row rows[] = {
      {false, 100, 99, {}, true},
      {false, 100, 350, {100, 200, 300}, true},
      {true, 200, 199, {}, true},
      {true, 200, 200, {200}, false},
      {true, 200, 1000, {200}, false},
  };
  for (const Row& row : rows) {
    RecordingCallback callback(clock_);
    DWORD start = clock_.Elapsed();
    std::unique_ptr<CTimer> timer = row.oneShot ? std::make_unique<CToneTimer>()
                                                : std::make_unique<CTimer>();
    timer->Start(row.interval, &callback);
    EXPECT_TRUE(timer->IsRunning());
    clock_.Advance(row.advance);
    for (DWORD& at : callback.firedAt) at -= start;
    EXPECT_EQ(callback.firedAt, row.firedAt) << row.oneShot << " " << row.interval;
    EXPECT_EQ(timer->IsRunning(), row.runningAfter);
    if (!row.firedAt.empty()) {
      EXPECT_EQ(callback.lastTimer, timer.get());
    }
  }
}

TEST_F(TimerTest, StartingAgainRestartsTheInterval) {
  CTimer timer;
  timer.Start(100, &callback_);
  clock_.Advance(50);
  timer.Start(100, &callback_);
  clock_.Advance(120);
  EXPECT_EQ(callback_.firedAt, (std::vector<DWORD>{150}));
}

TEST_F(TimerTest, CallbackMayStopOrRestartItsTimer) {
  struct Row {
    const char* what;
    bool oneShot;
    std::vector<DWORD> firedAt;  // relative to the start
  };
  const Row rows[] = {{"periodic stopped in its callback", false, {100}},
                      {"one-shot restarted twice by its callback", true, {100, 200, 300}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    RecordingCallback callback(clock_);
    callback.action = [&](CTimer* t) {
      if (!row.oneShot) t->Stop();
      else if (callback.firedAt.size() < 3) t->Start(100, &callback);
    };
    DWORD start = clock_.Elapsed();
    std::unique_ptr<CTimer> timer = row.oneShot ? std::make_unique<CToneTimer>()
                                                : std::make_unique<CTimer>();
    timer->Start(100, &callback);
    clock_.Advance(500);
    for (DWORD& at : callback.firedAt) at -= start;
    EXPECT_EQ(callback.firedAt, row.firedAt);
    EXPECT_FALSE(timer->IsRunning());
    timer->Stop();  // stopping a stopped timer does nothing
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

TEST_F(TimerTest, ATimerMayBeDestroyedByItsOwnCallback) {
  auto timer = std::make_unique<CToneTimer>();
  callback_.action = [&](CTimer*) { timer.reset(); };
  timer->Start(200, &callback_);
  clock_.Advance(400);
  EXPECT_EQ(callback_.firedAt, (std::vector<DWORD>{200}));
  EXPECT_EQ(timer, nullptr);
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
