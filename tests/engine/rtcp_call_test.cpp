// RTCP between engines on loopback, on the test's frame clock: two stand-in
// engines read each other's reports, and a bare socket checks what one
// engine sends. The report interval is shortened (SetRtcpIntervalForTesting)
// so that a few dozen frames hold several reports. Frames are stepped, so
// arrivals are exact in frames; only NTP times (round trips) are wall time.
#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "engine/standin/rtcp_report.h"
#include "engine/standin/rtp_packet.h"
#include "engine/standin/standin_testing.h"
#include "tests/engine/engine_harness.h"

namespace {

using namespace engine_test;

constexpr int kShortInterval = 10;  // frames: a report every 5 to 15 frames
constexpr int kMaxFrames = 500;     // ten seconds of media: far more than any case needs

standin::ChannelStatistics StatisticsOf(Engine& engine, int channel) {
  standin::ChannelStatistics statistics;
  EXPECT_TRUE(standin::ChannelStatisticsForTesting(engine.engine, channel, &statistics));
  return statistics;
}

struct Direction {
  const char* name;
  bool secondSends;  // else the second engine only listens (and reports)
};

void PrintTo(const Direction& row, std::ostream* out) { *out << row.name; }

class RtcpBetweenEngines : public testing::TestWithParam<Direction> {};

// Each side reads the other's reports: our SRs come back in the peer's
// report blocks with nothing lost, no jitter (every packet takes the same
// number of frames) and a round trip within the wall time the frames took;
// a receive-only peer sends RRs and no SR.
TEST_P(RtcpBetweenEngines, ReportsComeBackWithNoLossAndASmallRoundTrip) {
  const Direction& row = GetParam();
  Engine first, second;
  int firstPort = 0, secondPort = 0;
  const int a = first.ChannelOnFreePort(&firstPort);
  const int b = second.ChannelOnFreePort(&secondPort);
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  first.UseManualClock();
  second.UseManualClock();
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

  // Run until a few reports went each way, each answering an SR.
  auto answered = [](const standin::ChannelStatistics& s) {
    return s.peerReported && s.roundTripMs >= 0 && s.rtcpReceived >= 3;
  };
  const auto started = std::chrono::steady_clock::now();
  int frames = 0;
  while (frames < kMaxFrames && !(answered(StatisticsOf(first, a)) &&
                                  (!row.secondSends || answered(StatisticsOf(second, b))))) {
    RunFrames({&first, &second}, 1);
    ++frames;
  }
  // Every SR and its answer went out and came back within these frames.
  const auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - started)
                             .count();
  EXPECT_LT(frames, kMaxFrames) << "reports did not come back";
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
    // Each packet is read in the round it was sent (second reads first) or
    // the next (first reads second): a constant transit in frames.
    EXPECT_EQ(s->peerJitter, 0u);
    EXPECT_GE(s->roundTripMs, 0);
    EXPECT_LE(s->roundTripMs, elapsedMs + 1) << "more than the wall time of the frames";
  }
  // The second engine times the first's steady stream.
  EXPECT_EQ(ofSecond.jitter, 0u);
}

INSTANTIATE_TEST_SUITE_P(Calls, RtcpBetweenEngines,
                         testing::Values(Direction{"both_send", true},
                                         Direction{"one_way", false}));

// Takes the datagram queued first on `socket`; false when none is.
bool Take(const TestSocket& socket, Bytes* datagram) {
  datagram->resize(2048);
  const ssize_t size = recv(socket.Descriptor(), datagram->data(), datagram->size(), MSG_DONTWAIT);
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

// A sending channel's SR, read by a bare socket at the RTCP port: it goes
// out at the start of a frame, so it counts the packets of the frames before
// and its RTP timestamp is that of the packet sent right after it; its NTP
// time is now. Deleting the channel sends a BYE at once.
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
  engine.UseManualClock();
  ASSERT_TRUE(standin::SetRtcpIntervalForTesting(engine.engine, channel, kShortInterval));
  ASSERT_EQ(engine.base->SetSendDestination(channel, rtpPort, "127.0.0.1", -1,
                                            row.explicitPort ? rtcp.Port() : -1),
            0);
  ASSERT_EQ(engine.base->StartListen(channel), 0);
  ASSERT_EQ(engine.base->StartSend(channel), 0);

  // Frame by frame until the first SR: the frame that sent it was the last.
  Bytes datagram;
  standin::RtcpPeerPacket report;
  bool sender = false;
  for (int i = 0; i < 20 && !sender && RunFramesUntilReadable(engine, rtcp, kMaxFrames); ++i)
    sender = Take(rtcp, &datagram) &&
             standin::ParseRtcp(datagram.data(), datagram.size(), 0, &report) &&
             report.hasSenderInfo;
  ASSERT_TRUE(sender) << "no SR within the bounded frames";
  const std::uint64_t now = standin::NtpNow();
  EXPECT_LT(
      (now > report.senderInfo.ntp ? now - report.senderInfo.ntp : report.senderInfo.ntp - now) >>
          32,
      1u);

  // Every packet sent so far is queued: those the SR counts, then the one
  // of its own frame, a frame (160 ticks) after the last counted.
  std::vector<standin::RtpHeader> packets;
  while (Take(rtp, &datagram)) {
    standin::RtpView view;
    ASSERT_TRUE(standin::ParseRtp(datagram.data(), datagram.size(), &view));
    packets.push_back(view.header);
  }
  const std::size_t counted = report.senderInfo.packetCount;
  ASSERT_GE(counted, 1u);
  ASSERT_EQ(packets.size(), counted + 1);
  EXPECT_EQ(packets[counted - 1].ssrc, report.senderSsrc);
  EXPECT_EQ(report.senderInfo.octetCount, 160u * counted);
  EXPECT_EQ(packets[counted].timestamp, report.senderInfo.rtpTimestamp);
  EXPECT_EQ(report.senderInfo.rtpTimestamp - packets[counted - 1].timestamp, 160u);

  // The BYE is queued before DeleteChannel returns, next after the SR.
  const std::uint32_t ssrc = report.senderSsrc;
  ASSERT_EQ(engine.base->DeleteChannel(channel), 0);
  ASSERT_TRUE(Take(rtcp, &datagram)) << "no BYE";
  ASSERT_TRUE(standin::ParseRtcp(datagram.data(), datagram.size(), 0, &report));
  EXPECT_TRUE(report.bye);
  EXPECT_EQ(report.senderSsrc, ssrc);
}

INSTANTIATE_TEST_SUITE_P(Ports, RtcpToASocket,
                         testing::Values(RtcpPortCase{"next_port", false},
                                         RtcpPortCase{"explicit_port", true}));

}  // namespace
