// RTCP between real engines on loopback: two stand-in engines read each
// other's reports, and a bare socket checks what one engine sends. The
// report interval is shortened (SetRtcpIntervalForTesting) so that every
// wait is bounded and short.
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/standin/rtcp_report.h"
#include "engine/standin/rtp_packet.h"
#include "engine/standin/standin_testing.h"
#include "tests/engine/engine_harness.h"

namespace {

using namespace engine_test;
using namespace std::chrono_literals;

constexpr int kShortInterval = 10;  // frames: a report every 100 to 300 ms

standin::ChannelStatistics StatisticsOf(Engine& engine, int channel) {
  standin::ChannelStatistics statistics;
  EXPECT_TRUE(standin::ChannelStatisticsForTesting(engine.engine, channel, &statistics));
  return statistics;
}

// Polls `done` every 20 ms for at most `limit`.
template <class Done>
bool WaitFor(std::chrono::milliseconds limit, Done done) {
  for (auto end = std::chrono::steady_clock::now() + limit;
       std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(20ms))
    if (done()) return true;
  return done();
}

struct Direction {
  const char* name;
  bool secondSends;  // else the second engine only listens (and reports)
};

void PrintTo(const Direction& row, std::ostream* out) { *out << row.name; }

class RtcpBetweenEngines : public testing::TestWithParam<Direction> {};

// Each side reads the other's reports: our SRs come back in the peer's
// report blocks with nothing lost and a round trip of a few frames; a
// receive-only peer sends RRs and no SR.
TEST_P(RtcpBetweenEngines, ReportsComeBackWithNoLossAndASmallRoundTrip) {
  const Direction& row = GetParam();
  Engine first, second;
  int firstPort = 0, secondPort = 0;
  const int a = first.ChannelOnFreePort(&firstPort);
  const int b = second.ChannelOnFreePort(&secondPort);
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  ASSERT_TRUE(standin::SetRtcpIntervalForTesting(first.engine, a, kShortInterval));
  ASSERT_TRUE(standin::SetRtcpIntervalForTesting(second.engine, b, kShortInterval));
  ASSERT_EQ(first.base->SetSendDestination(a, secondPort, "127.0.0.1", -1, -1), 0);
  ASSERT_EQ(second.base->SetSendDestination(b, firstPort, "127.0.0.1", -1, -1), 0);
  ASSERT_EQ(first.base->StartListen(a), 0);
  ASSERT_EQ(second.base->StartListen(b), 0);
  ASSERT_EQ(first.base->StartSend(a), 0);
  if (row.secondSends) {
    ASSERT_EQ(second.base->StartSend(b), 0);
  }

  // Wait for a few reports each way, each answering an SR.
  auto answered = [](const standin::ChannelStatistics& s) {
    return s.peerReported && s.roundTripMs >= 0 && s.rtcpReceived >= 3;
  };
  EXPECT_TRUE(WaitFor(10s, [&] {
    return answered(StatisticsOf(first, a)) &&
           (!row.secondSends || answered(StatisticsOf(second, b)));
  }));
  const standin::ChannelStatistics ofFirst = StatisticsOf(first, a);
  const standin::ChannelStatistics ofSecond = StatisticsOf(second, b);
  EXPECT_EQ(first.base->StopSend(a), 0);
  if (row.secondSends) {
    EXPECT_EQ(second.base->StopSend(b), 0);
  }

  for (const auto* s : {&ofFirst, &ofSecond}) {
    const bool sent = s == &ofFirst || row.secondSends;
    SCOPED_TRACE(s == &ofFirst ? "first" : "second");
    EXPECT_GT(s->rtcpSent, 0u);
    EXPECT_GT(s->rtcpReceived, 0u);
    EXPECT_EQ(s->rtcpMalformed, 0u);
    // The other side sent SRs only when it sent RTP.
    EXPECT_EQ(s->senderReportsReceived > 0, s == &ofFirst ? row.secondSends : true);
    EXPECT_EQ(s->peerReported, sent);
    if (!sent) continue;
    EXPECT_EQ(s->peerFractionLost, 0);
    EXPECT_EQ(s->peerCumulativeLost, 0);
    // Datagrams are read once a frame, so arrivals are known to a frame
    // (20 ms): two engines whose frames nearly coincide see their packets
    // land on either side of a frame edge.
    EXPECT_LT(s->peerJitterMs, 40.0);
    EXPECT_GE(s->roundTripMs, 0);
    EXPECT_LT(s->roundTripMs, 200) << "a few frames of the media thread at most";
  }
  // The second engine times the first's steady stream.
  EXPECT_LT(ofSecond.jitterMs, 40.0);
}

INSTANTIATE_TEST_SUITE_P(Calls, RtcpBetweenEngines,
                         testing::Values(Direction{"both_send", true},
                                         Direction{"one_way", false}));

// Takes the next datagram from `socket` within `limit`; false when none came.
bool Receive(const TestSocket& socket, std::chrono::milliseconds limit, Bytes* datagram) {
  pollfd entry{socket.Descriptor(), POLLIN, 0};
  if (poll(&entry, 1, static_cast<int>(limit.count())) != 1) return false;
  datagram->resize(2048);
  const ssize_t size = recv(socket.Descriptor(), datagram->data(), datagram->size(), 0);
  if (size < 0) return false;
  datagram->resize(static_cast<std::size_t>(size));
  return true;
}

struct RtcpPortCase {
  const char* name;
  bool explicitPort;  // else the destination's RTP port + 1
};

void PrintTo(const RtcpPortCase& row, std::ostream* out) { *out << row.name; }

class RtcpToASocket : public testing::TestWithParam<RtcpPortCase> {};

// A sending channel's SR, read by a bare socket at the RTCP port: its RTP
// timestamp continues the RTP packets sent before it, its NTP time is now;
// deleting the channel sends a BYE.
TEST_P(RtcpToASocket, SenderReportMatchesTheStreamAndDeleteSaysBye) {
  const RtcpPortCase& row = GetParam();
  const int rtpPort = FreePortPair();
  TestSocket rtp(rtpPort);
  TestSocket rtcp(row.explicitPort ? FreePortPair() : rtpPort + 1);
  ASSERT_TRUE(rtp.Bound() && rtcp.Bound());

  Engine engine;
  int localPort = 0;
  const int channel = engine.ChannelOnFreePort(&localPort);
  ASSERT_GE(channel, 0);
  ASSERT_TRUE(standin::SetRtcpIntervalForTesting(engine.engine, channel, kShortInterval));
  ASSERT_EQ(engine.base->SetSendDestination(channel, rtpPort, "127.0.0.1", -1,
                                            row.explicitPort ? rtcp.Port() : -1),
            0);
  ASSERT_EQ(engine.base->StartListen(channel), 0);
  ASSERT_EQ(engine.base->StartSend(channel), 0);

  Bytes datagram;
  standin::RtcpPeerPacket report;
  bool sender = false;
  for (int i = 0; i < 20 && !sender && Receive(rtcp, 2s, &datagram); ++i)
    sender = standin::ParseRtcp(datagram.data(), datagram.size(), 0, &report) &&
             report.hasSenderInfo;
  ASSERT_TRUE(sender) << "no SR within the bounded wait";
  const std::uint64_t now = standin::NtpNow();
  EXPECT_LT((now > report.senderInfo.ntp ? now - report.senderInfo.ntp
                                         : report.senderInfo.ntp - now) >> 32,
            1u);

  // The SR counts the packets sent before it; the last of them is a whole
  // number of frames (160 ticks each) before the SR's timestamp.
  std::vector<standin::RtpHeader> packets;
  while (packets.size() < report.senderInfo.packetCount && Receive(rtp, 1s, &datagram)) {
    standin::RtpView view;
    ASSERT_TRUE(standin::ParseRtp(datagram.data(), datagram.size(), &view));
    packets.push_back(view.header);
  }
  ASSERT_EQ(packets.size(), report.senderInfo.packetCount);
  EXPECT_EQ(packets.back().ssrc, report.senderSsrc);
  EXPECT_EQ(report.senderInfo.octetCount, 160u * packets.size());
  const std::uint32_t ahead = report.senderInfo.rtpTimestamp - packets.back().timestamp;
  EXPECT_EQ(ahead % 160, 0u);
  EXPECT_GE(ahead, 160u);
  EXPECT_LE(ahead, 160u * 6);

  ASSERT_EQ(engine.base->DeleteChannel(channel), 0);
  bool bye = false;
  for (int i = 0; i < 20 && !bye && Receive(rtcp, 2s, &datagram); ++i)
    bye = standin::ParseRtcp(datagram.data(), datagram.size(), 0, &report) && report.bye;
  EXPECT_TRUE(bye);
}

INSTANTIATE_TEST_SUITE_P(Ports, RtcpToASocket,
                         testing::Values(RtcpPortCase{"next_port", false},
                                         RtcpPortCase{"explicit_port", true}));

}  // namespace
