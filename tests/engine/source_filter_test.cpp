// Which source a channel plays: the latch, its ranks and its timeouts.
#include "engine/standin/source_filter.h"

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

using standin::Ipv4Endpoint;
using standin::SourceFilter;
using Verdict = SourceFilter::Verdict;

constexpr std::uint32_t kHere = 0x7F000001;   // 127.0.0.1
constexpr std::uint32_t kThere = 0xC0A80105;  // 192.168.1.5
constexpr Ipv4Endpoint kDestination{kHere, 4000};
constexpr Ipv4Endpoint kSamePortPlusOne{kHere, 4001};
constexpr Ipv4Endpoint kSameAddress{kHere, 5000};
constexpr Ipv4Endpoint kOther{kThere, 6000};
constexpr Ipv4Endpoint kOtherToo{kThere, 6002};

// One step: `frames` frames of silence (under narrowing when `narrowed`),
// then an RTP datagram of `ssrc` (0: not RTP) from `from`, sent `times`
// times.
struct Step {
  Ipv4Endpoint from;
  std::uint32_t ssrc;
  Verdict verdict;
  int frames = 0;
  int times = 1;
  bool narrowed = false;
};

std::vector<std::uint8_t> Datagram(std::uint32_t ssrc) {
  if (ssrc == 0) return {0x12, 0x34, 0x56};
  std::vector<std::uint8_t> rtp(12 + 160, 0xFF);
  rtp[0] = 0x80;
  rtp[1] = 0;
  for (int i = 0; i < 4; ++i) rtp[8 + i] = static_cast<std::uint8_t>(ssrc >> (24 - 8 * i));
  return rtp;
}

TEST(SourceFilter, LatchesOnThePeerAndDropsStrangers) {
  constexpr int kQuiet = SourceFilter::kSilenceFrames;
  constexpr int kOpen = SourceFilter::kOpenQuietFrames;
  const struct {
    const char* what;
    bool destination;
    std::vector<Step> steps;
  } rows[] = {
      {"no destination: the first source is the peer",
       false,
       {{kOther, 1, Verdict::kNewPeer},
        {kOther, 1, Verdict::kPeer},
        {kSameAddress, 2, Verdict::kStranger},
        {kOtherToo, 0, Verdict::kStranger}}},
      {"a datagram that is not RTP latches nothing",
       false,
       {{kOther, 0, Verdict::kStranger}, {kSameAddress, 2, Verdict::kNewPeer}}},
      {"the destination itself takes over from a stranger who sent first, for good",
       true,
       {{kSameAddress, 1, Verdict::kNewPeer},
        {kDestination, 2, Verdict::kNewPeer},
        {kSameAddress, 1, Verdict::kStranger},
        {kSameAddress, 3, Verdict::kStranger, kQuiet * 10},
        {kDestination, 2, Verdict::kPeer}}},
      {"the destination's address outranks another address",
       true,
       {{kOther, 1, Verdict::kNewPeer},
        {kSameAddress, 2, Verdict::kNewPeer},
        {kOther, 1, Verdict::kStranger}}},
      {"behind NAT: a new stream after silence moves the latch, a copy does not",
       true,
       {{kOther, 1, Verdict::kNewPeer},
        {kOtherToo, 2, Verdict::kStranger, kQuiet - 1},
        {kOtherToo, 1, Verdict::kStranger, 1},
        {kOtherToo, 2, Verdict::kNewPeer},
        {kOther, 1, Verdict::kStranger}}},
      {"the destination's address is never left for another after silence",
       true,
       {{kSameAddress, 1, Verdict::kNewPeer},
        {kOther, 2, Verdict::kStranger, kQuiet * 10},
        {kDestination, 3, Verdict::kNewPeer, kQuiet * 10}}},
      {"a busy frame is not silent: the peer's packets may have been lost to a flood",
       false,
       {{kOther, 1, Verdict::kNewPeer},
        {kSameAddress, 2, Verdict::kStranger, kQuiet - 1, SourceFilter::kBusyFrameDatagrams + 1},
        {kSameAddress, 2, Verdict::kStranger, 1},
        {kSameAddress, 2, Verdict::kStranger, kOpen - 1},
        {kSameAddress, 2, Verdict::kNewPeer, 1}}},
      {"silence under narrowing lifts it; a few open quiet frames must follow",
       false,
       {{kOther, 1, Verdict::kNewPeer},
        {kSameAddress, 2, Verdict::kStranger, kQuiet, 1, true},
        {kSameAddress, 2, Verdict::kStranger, kOpen - 1},
        {kSameAddress, 2, Verdict::kNewPeer, 1}}},
      {"junk from the latched source does not keep the latch",
       false,
       {{kOther, 1, Verdict::kNewPeer},
        {kOther, 0, Verdict::kPeer, kQuiet / 2},
        {kOther, 0, Verdict::kPeer, kQuiet / 2},
        {kSameAddress, 2, Verdict::kNewPeer}}},
  };
  for (const auto& row : rows) {
    SourceFilter filter;
    if (row.destination) filter.SetDestination(kDestination);
    for (std::size_t i = 0; i < row.steps.size(); ++i) {
      const Step& step = row.steps[i];
      for (int frame = 0; frame < step.frames; ++frame) filter.EndFrame(step.narrowed);
      const std::vector<std::uint8_t> datagram = Datagram(step.ssrc);
      for (int time = 0; time < step.times; ++time)
        EXPECT_EQ(filter.OnRtp(step.from, datagram.data(), datagram.size()), step.verdict)
            << row.what << ", step " << i;
    }
  }
}

// What the system is asked to let through: the latched source and those
// that outrank it, until the latch has been quiet under narrowing.
TEST(SourceFilter, NarrowsToWhoMayTakeTheLatchAtOnce) {
  const struct {
    const char* what;
    Ipv4Endpoint latched;
    bool destination;
    int quietFrames;
    std::vector<Ipv4Endpoint> expected;
  } rows[] = {
      {"no destination", kOther, false, 0, {kOther}},
      {"another address", kOther, true, 0, {kOther, {kHere, 0}}},
      {"the destination's address", kSameAddress, true, 0, {kSameAddress, kDestination}},
      {"the destination: pinned, not narrowed", kDestination, true, 0, {}},
      {"quiet long enough", kOther, true, SourceFilter::kSilenceFrames, {}},
  };
  for (const auto& row : rows) {
    SourceFilter filter;
    if (row.destination) filter.SetDestination(kDestination);
    const std::vector<std::uint8_t> rtp = Datagram(7);
    ASSERT_EQ(filter.OnRtp(row.latched, rtp.data(), rtp.size()), Verdict::kNewPeer);
    for (int frame = 0; frame < row.quietFrames; ++frame) filter.EndFrame(true);
    Ipv4Endpoint sources[SourceFilter::kMaxNarrowed];
    const int count = filter.Narrowing(sources);
    EXPECT_EQ(std::vector<Ipv4Endpoint>(sources, sources + count), row.expected) << row.what;
  }
}

// The system keeps only what the narrowing lets through: an exact source,
// or any port of an address.
TEST(UdpSocket, AcceptsOnlyTheSourcesAskedFor) {
  standin::UdpSocket receiver, first, second;
  ASSERT_EQ(receiver.Bind(kHere, 0), standin::UdpSocket::BindResult::kBound);
  ASSERT_TRUE(first.Open());
  ASSERT_TRUE(second.Open());
  const Ipv4Endpoint to{kHere, receiver.LocalPort()};
  const struct {
    const char* what;
    std::vector<Ipv4Endpoint> sources;
    bool secondArrives;
  } rows[] = {
      {"any port of 127.0.0.1", {{kThere, 0}, {kHere, 0}}, true},
      {"the first socket only", {{kThere, 6000}, {kHere, first.LocalPort()}}, false},
      {"lifted", {}, true},
  };
  const std::uint8_t byte = 1;
  std::uint8_t buffer[4 * 16];
  standin::ReceivedDatagram datagrams[4];
  for (const auto& row : rows) {
    if (!receiver.AcceptOnly(row.sources.data(), static_cast<int>(row.sources.size())))
      GTEST_SKIP() << "the system cannot drop sources for us";
    // The first socket's second datagram comes last (loopback keeps the order).
    ASSERT_TRUE(first.SendTo(to, &byte, 1));
    ASSERT_TRUE(second.SendTo(to, &byte, 1));
    ASSERT_TRUE(first.SendTo(to, &byte, 1));
    int fromFirst = 0, fromSecond = 0;
    for (int wait = 0; wait < 1000 && fromFirst < 2; ++wait) {
      const int count = receiver.ReceiveBatch(buffer, 16, datagrams, 4);
      for (int i = 0; i < count; ++i)
        ++(datagrams[i].from.port == first.LocalPort() ? fromFirst : fromSecond);
      if (count < 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(fromFirst, 2) << row.what;
    EXPECT_EQ(fromSecond, row.secondArrives ? 1 : 0) << row.what;
  }
}

TEST(SourceFilter, TakesRtcpFromThePeersPortsOnly) {
  SourceFilter filter;
  const std::vector<std::uint8_t> rtp = Datagram(7);
  ASSERT_EQ(filter.OnRtp(kOther, rtp.data(), rtp.size()), Verdict::kNewPeer);
  filter.SetDestination(kDestination);
  const struct {
    Ipv4Endpoint from;
    bool peer;
  } rows[] = {
      {kOther, true},       {{kThere, 6001}, true},   {kOtherToo, false},
      {kDestination, true}, {kSamePortPlusOne, true}, {kSameAddress, false},
  };
  for (const auto& row : rows)
    EXPECT_EQ(filter.IsPeerRtcp(row.from), row.peer) << row.from.address << ":" << row.from.port;
  filter.Reset();
  EXPECT_FALSE(filter.IsPeerRtcp(kOther)) << "a new receiver forgets the latched source";
}

}  // namespace
