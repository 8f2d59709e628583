// The receive path under a misbehaving network: the impairment model and
// measures themselves, then an engine receiving PCMU through an impaired
// network that the test drives on the engine's frame clock: no thread, no
// sleeping, the same frames on every run.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>

#include "engine/standin/channel_receiver.h"
#include "engine/standin/standin_testing.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/impairment.h"
#include "tests/support/voice_measures.h"

namespace {

using namespace std::chrono_literals;
using impairment::Clock;

// Speech-like test signal at 8 kHz: low-passed noise in 240 ms bursts with
// 80 ms pauses; unlike a tone it matches itself at one lag only.
std::vector<std::int16_t> Babble(double seconds, std::uint32_t seed = 7) {
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0, 6000);
  std::vector<std::int16_t> pcm(static_cast<std::size_t>(seconds * measures::kRate));
  double smooth = 0;
  for (std::size_t i = 0; i < pcm.size(); ++i) {
    smooth = 0.6 * smooth + 0.4 * noise(random);
    const bool talking = (i % 2560) < 1920;
    pcm[i] = static_cast<std::int16_t>(talking ? std::clamp(smooth, -32000.0, 32000.0) : 0);
  }
  return pcm;
}

struct ModelCase {
  const char* name;
  impairment::Profile profile;
  double lossLow, lossHigh;  // share of packets lost
  double minMeanBurst;       // mean length of a run of lost packets
  bool ordered;              // deliveries never overtake
  double duplicateLow, duplicateHigh;
};

class ImpairmentModel : public testing::TestWithParam<ModelCase> {};

TEST_P(ImpairmentModel, DecidesFatesAsProfiled) {
  const ModelCase& row = GetParam();
  impairment::Model model(row.profile), again(row.profile);
  constexpr int kPackets = 20000;
  int lost = 0, bursts = 0, duplicated = 0, delivered = 0, overtaken = 0;
  bool lastLost = false;
  double lastDue = -1e9;
  for (int i = 0; i < kPackets; ++i) {
    const impairment::Fate fate = model.Next();
    ASSERT_EQ(fate.delaysMs, again.Next().delaysMs) << "same seed, same fate, packet " << i;
    const bool isLost = fate.delaysMs.empty();
    lost += isLost;
    bursts += isLost && !lastLost;
    lastLost = isLost;
    if (isLost) continue;
    ++delivered;
    duplicated += fate.delaysMs.size() > 1;
    const double due = 20.0 * i + fate.delaysMs.front();
    overtaken += due < lastDue;
    lastDue = std::max(lastDue, due);
  }
  EXPECT_GE(lost, row.lossLow * kPackets);
  EXPECT_LE(lost, row.lossHigh * kPackets);
  if (bursts > 0) {
    EXPECT_GE(static_cast<double>(lost) / bursts, row.minMeanBurst);
  }
  EXPECT_EQ(overtaken == 0, row.ordered);
  EXPECT_GE(duplicated, row.duplicateLow * delivered);
  EXPECT_LE(duplicated, row.duplicateHigh * delivered);
  EXPECT_EQ(model.Lost(), static_cast<std::uint64_t>(lost));

  // The virtual network delivers the same fates, in arrival order.
  const auto deliveries = impairment::VirtualDeliveries(row.profile, kPackets, 20);
  EXPECT_EQ(deliveries.size(), static_cast<std::size_t>(delivered + duplicated));
  EXPECT_TRUE(
      std::is_sorted(deliveries.begin(), deliveries.end(),
                     [](const auto& a, const auto& b) { return a.arrivalMs < b.arrivalMs; }));
  EXPECT_EQ(std::is_sorted(deliveries.begin(), deliveries.end(),
                           [](const auto& a, const auto& b) { return a.packet < b.packet; }),
            row.ordered);
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, ImpairmentModel,
    testing::Values(
        ModelCase{"clean", {}, 0, 0, 0, true, 0, 0},
        ModelCase{"random3",
                  {.lossRate = 0.03, .jitterMeanMs = 30, .seed = 3},
                  0.025,
                  0.035,
                  1,
                  true,
                  0,
                  0},
        // Gilbert-Elliott: ~10% loss in bursts of about four packets.
        ModelCase{
            "bursty10",
            {.goodToBad = 0.028, .badToGood = 0.25, .jitterMeanMs = 60, .reorder = true, .seed = 5},
            0.08,
            0.12,
            3,
            false,
            0,
            0},
        ModelCase{"duplicates", {.duplicateRate = 0.2, .seed = 9}, 0, 0, 0, true, 0.18, 0.22}),
    [](const auto& info) { return std::string(info.param.name); });

// A played signal built from the sent one with known faults: the measures
// must find the lag, the delay and the frames that went missing.
TEST(VoiceMeasures, FindDelayAndMissingFrames) {
  const std::vector<std::int16_t> sent = Babble(4);
  constexpr std::size_t kLag = 400;  // 50 ms
  std::vector<std::int16_t> played(kLag, 0);
  played.insert(played.end(), sent.begin(), sent.end());
  int silenced = 0;
  for (std::size_t f = 0; f + measures::kFrame <= sent.size(); f += 10 * measures::kFrame) {
    if ((f % 2560) + measures::kFrame > 1920) continue;  // only frames that are speech throughout
    std::fill_n(played.begin() + static_cast<long>(kLag + f), measures::kFrame, 0);
    ++silenced;
  }
  measures::TimedSignal signal{played, {{0, Clock::time_point{} + 1s}}};
  const auto sentAt = [](std::size_t i) {
    return Clock::time_point{} + 1s - 10ms + std::chrono::microseconds(i * 125);
  };
  const measures::Report report = measures::Compare(sent, signal, sentAt);
  ASSERT_TRUE(report.aligned);
  EXPECT_NEAR(report.delayMs, 60, 0.5);  // 10 ms before the capture began, then 50 ms of lag
  EXPECT_NEAR(report.delayDriftMs, 0, 0.5);
  EXPECT_NEAR(report.framesDownPct, 100.0 * silenced / report.activeFrames, 0.5);
  EXPECT_GT(report.segmentalSnrDb, 30);
}

// A receiver that moves its delay: every frame on both sides of the move
// is still found and counted, also once it plays earlier than it began
// (a receiver dropping audio to keep up with a fast sender).
TEST(VoiceMeasures, FollowADelayThatMoves) {
  const std::vector<std::int16_t> sent = Babble(4);
  constexpr long kMoveAt = 87 * measures::kFrame;  // inside the fourth half second
  const struct {
    const char* what;
    long lead;  // silence before the sent signal starts playing
    long move;  // samples added (or, below zero, dropped) at kMoveAt
  } rows[] = {{"stretched by 60 ms", 400, 480}, {"cut by 100 ms", 400, -800}};
  int talking = 0;
  for (std::size_t f = 0; f + measures::kFrame <= sent.size(); f += measures::kFrame)
    talking += (f % 2560) + measures::kFrame <= 1920;
  for (const auto& row : rows) {
    std::vector<std::int16_t> played(static_cast<std::size_t>(row.lead), 0);
    played.insert(played.end(), sent.begin(), sent.begin() + kMoveAt);
    played.insert(played.end(), static_cast<std::size_t>(std::max(row.move, 0L)), 0);
    played.insert(played.end(), sent.begin() + kMoveAt + std::max(-row.move, 0L), sent.end());
    const measures::TimedSignal signal{played, {{0, Clock::time_point{}}}};
    const measures::Report report =
        measures::Compare(sent, signal, [](std::size_t) { return Clock::time_point{}; });
    ASSERT_TRUE(report.aligned) << row.what;
    // Frames cut away are missing from what was played: they count as lost.
    const int cut = static_cast<int>(std::max(-row.move, 0L) / measures::kFrame);
    EXPECT_GE(report.activeFrames, talking - cut) << row.what;
    EXPECT_LE(report.framesDamagedPct * report.activeFrames / 100, cut) << row.what;
    EXPECT_GT(report.segmentalSnrDb, 30) << row.what;
  }
}

// An engine channel receiving PCMU from a drifting sender through an
// impaired network, all on a virtual clock: frame k of the engine runs at
// k * 20 ms, packet i leaves at i times the sender's period, and before each
// frame the test sends the engine every delivery due by then, in arrival
// order. The playout recording gets one frame per frame run, so sample j of
// it was handed over at j / 8000 s.
struct ImpairedCall {
  static constexpr int kTailFrames = 20;  // the last packets' way through the buffer

  engine_test::Engine receiver;
  measures::TimedCapture capture;
  int port = 0;
  int channel = receiver.ChannelOnFreePort(&port);

  measures::Report Run(const impairment::Profile& profile, double ppm, double seconds,
                       standin::ChannelStatistics* statistics) {
    EXPECT_GE(channel, 0);
    receiver.UseManualClock();
    engine_test::TestSocket network;
    EXPECT_TRUE(network.Bound());
    EXPECT_EQ(receiver.base->StartListen(channel), 0);
    EXPECT_EQ(receiver.base->StartPlayout(channel), 0);
    EXPECT_EQ(receiver.file->StartRecordingPlayout(&capture, nullptr), 0);
    const std::vector<std::int16_t> sent = Babble(seconds);
    const std::size_t packets = sent.size() / impairment::DriftingSender::kFrameSamples;
    const double periodMs = 1000 * impairment::DriftedPeriodSeconds(ppm);
    const std::vector<impairment::Delivery> deliveries =
        impairment::VirtualDeliveries(profile, packets, periodMs);
    const double lastMs = deliveries.empty() ? 0 : deliveries.back().arrivalMs;
    const int frames = static_cast<int>(std::ceil(lastMs / 20)) + kTailFrames;
    auto next = deliveries.begin();
    for (int frame = 0; frame < frames; ++frame) {
      for (; next != deliveries.end() && next->arrivalMs <= 20.0 * frame; ++next)
        network.SendTo(port, impairment::PcmuPacket(sent, next->packet, 0x5eed0001));
      engine_test::RunFrames({&receiver}, 1);
    }
    EXPECT_EQ(receiver.file->StopRecordingPlayout(), 0);
    EXPECT_TRUE(standin::ChannelStatisticsForTesting(receiver.engine, channel, statistics));
    EXPECT_EQ(receiver.base->StopPlayout(channel), 0);
    EXPECT_EQ(receiver.base->StopListen(channel), 0);

    const auto sentAt = [&](std::size_t i) {
      const double ms = periodMs * static_cast<double>(i) / measures::kFrame;
      return Clock::time_point{} + std::chrono::microseconds(std::llround(ms * 1000));
    };
    // Both halves of the 16 kHz recording's phase; the better one counts.
    auto compare = [&](int phase) {
      measures::TimedSignal played = capture.Take(phase);
      played.marks = {{0, Clock::time_point{}}};
      return measures::Compare(sent, played, sentAt);
    };
    const measures::Report even = compare(0), odd = compare(1);
    return (!even.aligned || (odd.aligned && odd.segmentalSnrDb > even.segmentalSnrDb)) ? odd
                                                                                        : even;
  }
};

TEST(ImpairedReceive, LostPacketsAreConcealedAndCounted) {
  ImpairedCall call;
  standin::ChannelStatistics statistics;
  const measures::Report report =
      call.Run({.lossRate = 0.1, .jitterMeanMs = 10, .seed = 11}, 0, 3, &statistics);
  ASSERT_TRUE(report.aligned);
  EXPECT_GT(statistics.packetsLost, 0u);
  EXPECT_GE(statistics.framesConcealed, statistics.packetsLost / 2);
  EXPECT_LE(statistics.framesConcealed, statistics.packetsLost * 2 + 5);
}

TEST(ImpairedReceive, DuplicatesArePlayedOnce) {
  ImpairedCall call;
  standin::ChannelStatistics statistics;
  const measures::Report report = call.Run({.duplicateRate = 0.5, .seed = 13}, 0, 3, &statistics);
  ASSERT_TRUE(report.aligned);
  // A frame played twice would push everything after it 20 ms later and
  // damage the frames around it.
  EXPECT_LT(std::abs(report.delayDriftMs), 10);
  EXPECT_LT(report.framesDamagedPct, 2);
  // Only the end of the stream may be concealed (one run of frames).
  EXPECT_LE(statistics.framesConcealed,
            static_cast<std::uint64_t>(standin::ChannelReceiver::kMaxConcealedFrames));
}

// A sender clock 2% off moves 100 ms in 5 s: the buffer must follow it
// (in 20 ms steps) rather than let the delay grow or shrink with it.
class DriftingClock : public testing::TestWithParam<double> {};

TEST_P(DriftingClock, DelayStaysBounded) {
  ImpairedCall call;
  standin::ChannelStatistics statistics;
  const measures::Report report = call.Run({.seed = 17}, GetParam(), 5, &statistics);
  ASSERT_TRUE(report.aligned);
  EXPECT_LT(std::abs(report.delayDriftMs), 50) << "delay " << report.delayMs << " ms";
  EXPECT_LT(report.delayMs, 120);
}

INSTANTIATE_TEST_SUITE_P(Ppm, DriftingClock, testing::Values(20000.0, -20000.0));

}  // namespace
