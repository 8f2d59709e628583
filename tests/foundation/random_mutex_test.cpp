#include <algorithm>
#include <cstring>
#include <ctime>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "medley/mutex.h"
#include "medley/random.h"

namespace {

// Seeds the shared generator for one test and lets the next draw reseed
// from the clock afterwards.
class RandomTest : public testing::Test {
 protected:
  void SetUp() override { cRandomizer::SetSeedForTesting(1); }
  void TearDown() override { cRandomizer::SetSeedForTesting(0); }
};

TEST_F(RandomTest, ParkMillerStreamIsSharedByAllGenerators) {
  cRandomizer first, second;
  EXPECT_EQ(first.NextRandom(), 16807u);
  EXPECT_EQ(second.NextRandom(), 282475249u);
  EXPECT_EQ(first.NextRandom(), 1622650073u);
}

TEST_F(RandomTest, ConcurrentDrawsConsumeOneStream) {
  constexpr int kDraws = 5000;
  std::vector<unsigned> expected;
  cRandomizer reference;
  for (int i = 0; i < 2 * kDraws; ++i) expected.push_back(reference.NextRandom());
  cRandomizer::SetSeedForTesting(1);
  std::vector<unsigned> drawn[2];
  std::vector<std::thread> threads;
  for (auto& out : drawn) {
    threads.emplace_back([&out] {
      cRandomizer own;
      for (int i = 0; i < kDraws; ++i) out.push_back(own.NextRandom());
    });
  }
  for (auto& thread : threads) thread.join();
  std::vector<unsigned> all(drawn[0]);
  all.insert(all.end(), drawn[1].begin(), drawn[1].end());
  std::sort(all.begin(), all.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(all, expected);
}

TEST_F(RandomTest, SequenceFollowsThePattern) {
  cRandomUtils utils;
  char out[8];
  std::memset(out, '?', sizeof out);
  utils.Sequence(out, "a-A-#");
  EXPECT_TRUE(std::regex_match(std::string(out), std::regex("[a-z]-[A-Z]-[0-9]")));
  EXPECT_EQ(out[5], '\0');
  cRandomizer next;
  EXPECT_EQ(next.NextRandom(), 984943658u);  // the fourth value: three were drawn

  std::memset(out, '?', sizeof out);
  utils.Sequence(out, "");
  utils.AsciiSequence(out, 0);
  utils.AsciiSequence(out, -4);
  EXPECT_EQ(out[0], '?');
  utils.AsciiSequence(out, 5);
  EXPECT_TRUE(std::regex_match(std::string(out), std::regex("[a-z]{5}")));

  Ortus::String text("id:");
  utils.Sequence(text, "A#x");
  EXPECT_TRUE(std::regex_match(std::string(text.Ptr()), std::regex("id:[A-Z][0-9]x")));
}

TEST_F(RandomTest, HexSequenceShapes) {
  const struct {
    int length;
    bool dashes;
    const char* shape;
  } cases[] = {
      {8, false, "[0-7][0-9a-f]{3}[0-7]{4}"},
      {4, false, "[0-7]{4}"},
      {5, true, "[0-7]{5}"},
      {0, false, ""},
      {32, false, "([0-7][0-9a-f]{3}){7}[0-7]{4}"},
      {36, true, "([0-7][0-9a-f]{3}-){7}[0-7]"},
  };
  cRandomUtils utils;
  for (const auto& c : cases) {
    char out[64];
    std::memset(out, '?', sizeof out);
    utils.HexSequence(out, c.length, c.dashes);
    EXPECT_EQ(std::strlen(out), static_cast<std::size_t>(c.length));
    EXPECT_TRUE(std::regex_match(std::string(out), std::regex(c.shape))) << out;
  }
  char untouched = '?';
  utils.HexSequence(&untouched, -1, true);
  EXPECT_EQ(untouched, '?');
}

TEST_F(RandomTest, GenerateIdStartsWithTheTime) {
  cRandomUtils utils;
  const auto before = static_cast<unsigned long>(std::time(nullptr));
  const Ortus::String id = utils.GenerateId("AAA###");
  const std::string text(id.Ptr(), id.Length());
  std::smatch match;
  ASSERT_TRUE(
      std::regex_match(text, match, std::regex("([0-9]+)[A-Z]{3}[0-9]{3}@medley\\.invalid")))
      << text;
  const unsigned long seconds = std::stoul(match[1].str());
  EXPECT_GE(seconds, before);
  EXPECT_LE(seconds, before + 2);
}

// Whether another thread can take the mutex (it lets go again at once).
bool OtherThreadGets(cMutex& mutex) {
  bool got = false;
  std::thread([&] {
    got = mutex.TryLock();
    if (got) mutex.Unlock();
  }).join();
  return got;
}

TEST(MutexTest, RecursiveAndTryLockAcrossThreads) {
  cMutex mutex;
  mutex.Lock();
  EXPECT_TRUE(mutex.TryLock());  // recursive: a second ownership
  EXPECT_FALSE(OtherThreadGets(mutex));
  mutex.Unlock();
  EXPECT_FALSE(OtherThreadGets(mutex));  // still held once
  mutex.Unlock();
  EXPECT_TRUE(OtherThreadGets(mutex));
}

TEST(MutexTest, AbandonedMutexFailsTryLockOnce) {
  cMutex mutex;
  std::thread([&] { mutex.Lock(); }).join();  // ends while owning it
  EXPECT_FALSE(mutex.TryLock());
  EXPECT_TRUE(mutex.TryLock());
  mutex.Unlock();
  std::thread([&] { mutex.Lock(); }).join();
  mutex.Lock();  // an abandoned mutex is taken over by Lock
  mutex.Unlock();
}

TEST(MutexTest, ScopedLockSerialises) {
  cMutex mutex;
  int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        cScopedLock hold(mutex);
        ++counter;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, 40000);
}

}  // namespace
