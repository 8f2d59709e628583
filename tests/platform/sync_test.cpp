#include "platform/sync.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace platform {
namespace {

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads) {
  CriticalSection section;
  section.Enter();
  EXPECT_TRUE(section.TryEnter());  // the owner may enter again
  section.Leave();

  bool otherGotIn = true;
  std::thread other([&] { otherGotIn = section.TryEnter(); });
  other.join();
  EXPECT_FALSE(otherGotIn);
  section.Leave();

  long counter = 0;
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t)
    workers.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        CriticalSectionLock lock(section);
        CriticalSectionLock again(section);
        ++counter;
      }
    });
  for (std::thread& w : workers) w.join();
  EXPECT_EQ(counter, 40000);
}

TEST(Sleep, WaitsAtLeastTheGivenTime) {
  DWORD start = GetTickCount();
  Sleep(20);
  EXPECT_GE(GetTickCount() - start, 19u);
}

}  // namespace
}  // namespace platform
