// Which source a channel plays: the latch, its ranks and its timeouts.
#include "engine/standin/source_filter.h"

#include <cstdint>
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

// One step: `frames` frames of silence, then an RTP datagram of `ssrc` (0:
// not RTP) from `from`, sent `times` times.
struct Step {
  Ipv4Endpoint from;
  std::uint32_t ssrc;
  Verdict verdict;
  int frames = 0;
  int times = 1;
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
      for (int frame = 0; frame < step.frames; ++frame) filter.EndFrame();
      const std::vector<std::uint8_t> datagram = Datagram(step.ssrc);
      for (int time = 0; time < step.times; ++time)
        EXPECT_EQ(filter.OnRtp(step.from, datagram.data(), datagram.size()), step.verdict)
            << row.what << ", step " << i;
    }
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
      {kOther, true},          {{kThere, 6001}, true},  {kOtherToo, false},
      {kDestination, true},    {kSamePortPlusOne, true}, {kSameAddress, false},
  };
  for (const auto& row : rows)
    EXPECT_EQ(filter.IsPeerRtcp(row.from), row.peer) << row.from.address << ":" << row.from.port;
  filter.Reset();
  EXPECT_FALSE(filter.IsPeerRtcp(kOther)) << "a new receiver forgets the latched source";
}

}  // namespace
