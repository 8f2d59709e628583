#include "platform/message_queue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/manual_clock.h"

namespace platform {
namespace {

// What the recording timer procedure saw: timer id and clock time of each call.
struct Firing {
  UINT_PTR id;
  DWORD at;
  bool operator==(const Firing&) const = default;
};
thread_local std::vector<Firing> firings;
thread_local ScopedManualClockForTesting* clock = nullptr;

void CALLBACK Record(HWND, UINT message, UINT_PTR id, DWORD) {
  EXPECT_EQ(message, WM_TIMER);
  firings.push_back({id, clock ? clock->Elapsed() : 0});
}

class MessageQueueTest : public testing::Test {
 protected:
  void SetUp() override {
    firings.clear();
    clock = &clock_;
  }
  void TearDown() override { clock = nullptr; }

  ScopedManualClockForTesting clock_;
};

TEST_F(MessageQueueTest, PeriodicTimerFiresAtEachMultipleOfItsInterval) {
  struct Row {
    UINT interval;
    std::vector<DWORD> advances;
    std::vector<DWORD> firedAt;
  };
  const Row rows[] = {
      {100, {99, 1}, {100}},
      {100, {250}, {100, 200}},
      {100, {50, 50, 50, 50}, {100, 200}},
      {0, {25}, {10, 20}},  // clamped to the 10 ms minimum
  };
  for (const Row& row : rows) {
    firings.clear();
    DWORD start = clock_.Elapsed();
    UINT_PTR id = SetTimer(nullptr, 0, row.interval, &Record);
    ASSERT_NE(id, 0u);
    for (DWORD step : row.advances) clock_.Advance(step);
    std::vector<DWORD> firedAt;
    for (const Firing& f : firings) {
      EXPECT_EQ(f.id, id);
      firedAt.push_back(f.at - start);
    }
    EXPECT_EQ(firedAt, row.firedAt) << "interval " << row.interval;
    EXPECT_TRUE(KillTimer(nullptr, id));
  }
}

TEST_F(MessageQueueTest, KillTimerEndsTheTimerAndItsWaitingMessage) {
  UINT_PTR id = SetTimer(nullptr, 0, 50, &Record);
  std::thread([&] { EXPECT_TRUE(KillTimer(nullptr, id)); }).join();  // any thread may kill
  clock_.Advance(500);
  EXPECT_TRUE(firings.empty());
  EXPECT_FALSE(KillTimer(nullptr, id));
  EXPECT_FALSE(KillTimer(nullptr, 0));
}

TEST_F(MessageQueueTest, WindowsRefusedClocksAndEndedThreadsGiveNoTimer) {
  auto window = reinterpret_cast<HWND>(std::uintptr_t{0x10});
  EXPECT_EQ(SetTimer(window, 0, 50, &Record), 0u);
  MSG msg;
  EXPECT_EQ(GetMessage(&msg, window, 0, 0), -1);
  clock_.RefuseNewTimers(true);
  EXPECT_EQ(SetTimer(nullptr, 0, 100, &Record), 0u);
  clock_.RefuseNewTimers(false);
  UINT_PTR id = SetTimer(nullptr, 0, 100, &Record);
  EXPECT_NE(id, 0u);
  EXPECT_FALSE(KillTimer(window, id));
  EXPECT_TRUE(KillTimer(nullptr, id));
  std::thread([&] { id = SetTimer(nullptr, 0, 10, &Record); }).join();
  EXPECT_NE(id, 0u);
  EXPECT_FALSE(KillTimer(nullptr, id)) << "the timers of an ended thread are gone";
}

TEST_F(MessageQueueTest, SettingAnExistingIdRestartsThatTimer) {
  UINT_PTR first = SetTimer(nullptr, 0, 100, &Record);
  UINT_PTR second = SetTimer(nullptr, 0, 100, &Record);
  EXPECT_NE(first, second);
  clock_.Advance(60);
  EXPECT_EQ(SetTimer(nullptr, first, 100, &Record), first);
  clock_.Advance(60);  // t = 120: only the untouched timer has fired
  EXPECT_EQ(firings, (std::vector<Firing>{{second, 100}}));
  clock_.Advance(40);
  EXPECT_EQ(firings.back(), (Firing{first, 160}));
  KillTimer(nullptr, first);
  KillTimer(nullptr, second);
}

TEST_F(MessageQueueTest, QuitComesBeforeTimersAndEndsThePump) {
  UINT_PTR id = SetTimer(nullptr, 0, 10, &Record);
  std::thread([&] { clock_.Advance(50); }).join();  // due here, not yet dispatched
  PostQuitMessage(7);
  MSG msg;
  EXPECT_EQ(GetMessage(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_EQ(GetMessage(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, WM_TIMER);
  EXPECT_EQ(msg.wParam, id);
  DispatchMessage(&msg);
  EXPECT_EQ(firings.size(), 1u);

  PostQuitMessage(0);
  EXPECT_FALSE(PumpMessages());
  EXPECT_TRUE(PumpMessages());
  KillTimer(nullptr, id);
}

TEST(MessageQueueRealClock, PumpMessagesForDeliversTimersAsTheyFallDue) {
  firings.clear();
  UINT_PTR id = SetTimer(nullptr, 0, 20, &Record);
  EXPECT_TRUE(PumpMessagesFor(130));
  KillTimer(nullptr, id);
  EXPECT_GE(firings.size(), 2u);
  EXPECT_LE(firings.size(), 7u);
}

}  // namespace
}  // namespace platform
