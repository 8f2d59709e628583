#include <pthread.h>

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "medley/interval_tracker.h"

namespace {

using Range = std::pair<std::uint32_t, std::uint32_t>;

// Walks the tree in order without recursion, checking that ranges are
// well formed, sorted and apart; returns them as "[low,high]..." text.
std::string CheckedRanges(const cIntervalTracker& tracker) {
  std::string text;
  std::vector<const cIntervalNode*> pending;
  const cIntervalNode* node = tracker.Root();
  std::int64_t previousHigh = -1;
  while (node || !pending.empty()) {
    for (; node; node = node->Lower()) pending.push_back(node);
    node = pending.back();
    pending.pop_back();
    EXPECT_LE(node->Low(), node->High());
    EXPECT_LT(previousHigh, static_cast<std::int64_t>(node->Low())) << "overlap or out of order";
    previousHigh = node->High();
    text += "[" + std::to_string(node->Low()) + "," + std::to_string(node->High()) + "]";
    node = node->Higher();
  }
  return text;
}

TEST(IntervalTrackerTest, MergeRulesIncludingTheTopOfTheRange) {
  const std::uint32_t top = 0xFFFFFFFFu;
  const struct {
    std::vector<Range> added;
    const char* ranges;
    unsigned count;
  } cases[] = {
      {{{1, 100}, {101, 200}}, "[1,200]", 200},
      {{{1, 100}, {50, 80}}, "[1,100]", 100},
      {{{100, 200}, {1, 50}}, "[1,50][100,200]", 151},
      {{{100, 200}, {50, 99}}, "[50,200]", 151},
      {{{100, 200}, {10, 20}, {50, 60}, {40, 150}}, "[10,20][40,200]", 172},
      {{{100, 200}, {50, 60}, {30, 45}, {40, 150}}, "[30,200]", 171},
      {{{100, 200}, {500, 600}, {300, 310}, {150, 400}}, "[100,400][500,600]", 402},
      {{{100, 200}, {10, 20}, {30, 39}, {40, 150}}, "[10,20][30,39][40,200]", 182},
      {{{100, 200}, {202, 300}, {150, 201}}, "[100,201][202,300]", 201},
      {{{100, 200}, {98, 98}, {99, 150}}, "[98,200]", 103},
      {{{100, 200}, {300, 400}, {50, 500}}, "[50,500]", 451},
      {{{10, 20}, {30, 40}, {50, 60}, {0, 100}}, "[0,100]", 101},
      // The top of the 32-bit space never wraps to 0.
      {{{top, top}, {0, 0}}, "[0,0][4294967295,4294967295]", 2},
      {{{0, 0}, {top, top}}, "[0,0][4294967295,4294967295]", 2},
      {{{top - 10, top - 5}, {top - 4, top}}, "[4294967285,4294967295]", 11},
      {{{top - 4, top}, {top - 10, top - 5}}, "[4294967285,4294967295]", 11},
      {{{0, top}, {7, 9}}, "[0,4294967295]", top},  // 2^32 positions saturate
      {{{top, top}, {0, top - 1}}, "[0,4294967295]", top},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ranges);
    cIntervalTracker tracker;
    for (const Range& r : c.added) ASSERT_TRUE(tracker.AddRange(r.first, r.second));
    EXPECT_EQ(CheckedRanges(tracker), c.ranges);
    EXPECT_EQ(tracker.Count(), c.count);
  }
}

TEST(IntervalTrackerTest, EmptyTrackerAndContiguity) {
  cIntervalTracker tracker;
  EXPECT_EQ(tracker.Count() + tracker.Minimum() + tracker.Maximum(), 0u);
  EXPECT_FALSE(tracker.Contiguous());
  tracker.AddRange(100, 200);
  EXPECT_TRUE(tracker.Contiguous());
  tracker.AddRange(1, 50);
  EXPECT_FALSE(tracker.Contiguous());
  tracker.Debug();
}

// A descending run with gaps makes a chain as deep as the number of ranges;
// insertion, queries and destruction must not recurse along it. The work
// runs on a thread with a small stack to show that.
TEST(IntervalTrackerTest, DeepChainsNeedNoRecursion) {
  struct Result {
    unsigned count = 0, minimum = 0, merged = 0;
    bool contiguous = false;
  } result;
  auto body = [](void* out) -> void* {
    auto* r = static_cast<Result*>(out);
    cIntervalTracker tracker;
    for (std::uint32_t i = 10000; i > 0; --i) tracker.AddRange(3 * i, 3 * i);
    r->count = tracker.Count();
    r->minimum = tracker.Minimum();
    tracker.Debug();
    auto* scratch = new cIntervalTracker;
    for (std::uint32_t i = 10000; i > 0; --i) scratch->AddRange(2 * i, 2 * i);
    delete scratch;
    tracker.AddRange(0, 3 * 10000);
    r->merged = tracker.Count();
    r->contiguous = tracker.Contiguous();
    return nullptr;
  };
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 256 * 1024);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attributes, body, &result), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  EXPECT_EQ(result.count, 10000u);
  EXPECT_EQ(result.minimum, 3u);
  EXPECT_EQ(result.merged, 30001u);
  EXPECT_TRUE(result.contiguous);
}

// Thousands of random ranges against a set of positions. Positions live in
// two windows, one at the bottom and one at the top of the 32-bit space.
TEST(IntervalTrackerTest, MatchesASetModel) {
  std::mt19937 random(2024);
  for (int round = 0; round < 40; ++round) {
    cIntervalTracker tracker;
    std::set<std::uint64_t> model;
    const std::uint32_t base = round % 2 == 0 ? 0u : 0xFFFFFFFFu - 299;
    for (int step = 0; step < 150; ++step) {
      const std::uint32_t a = base + random() % 300;
      const std::uint32_t span = random() % 4 == 0 ? random() % 60 : random() % 6;
      const auto b =
          static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{a} + span, base + 299u));
      ASSERT_TRUE(tracker.AddRange(a, b));
      for (std::uint64_t p = a; p <= b; ++p) model.insert(p);
      ASSERT_EQ(tracker.Count(), model.size()) << "round " << round << " step " << step;
      ASSERT_EQ(tracker.Minimum(), *model.begin());
      ASSERT_EQ(tracker.Maximum(), *model.rbegin());
      CheckedRanges(tracker);
    }
  }
}

}  // namespace
