// RTCP on its own: compound packets written and read back, malformed
// datagrams refused, the report schedule, loss and round-trip figures, and
// the receiver's sequence and jitter counts that feed the report block.
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "engine/standin/channel_receiver.h"
#include "engine/standin/rtcp_report.h"
#include "engine/standin/rtcp_session.h"
#include "engine/standin/rtp_packet.h"

namespace {

using namespace standin;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kOurs = 0x11223344;
constexpr std::uint32_t kPeer = 0xA0B0C0D0;

RtcpReport Report(bool sender, bool hasBlock, std::int32_t lost, bool bye) {
  RtcpReport report;
  report.ssrc = kPeer;
  report.sender = sender;
  report.senderInfo = {0xE1234567'89ABCDEFull, 0xCAFEBABE, 1234, 56789};
  report.hasBlock = hasBlock;
  report.block = {kOurs, 25, lost, 0x0001FFFF, 77, 0x456789AB, 0x00018000};
  report.cname = "abc";
  report.bye = bye;
  return report;
}

TEST(RtcpPacket, ReadsBackWhatItWrites) {
  const struct {
    const char* name;
    RtcpReport report;
  } rows[] = {
      {"sender report with a block", Report(true, true, 3, false)},
      {"receiver report, no block", Report(false, false, 0, false)},
      {"negative loss and a bye", Report(false, true, -2, true)},
      {"largest loss", Report(true, true, 0x7FFFFF, true)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Bytes packet;
    WriteRtcp(row.report, packet);
    ASSERT_EQ(packet.size() % 4, 0u);
    RtcpPeerPacket read;
    ASSERT_TRUE(ParseRtcp(packet.data(), packet.size(), kOurs, &read));
    EXPECT_EQ(read.hasSenderInfo, row.report.sender);
    if (row.report.sender) {
      EXPECT_EQ(read.senderSsrc, kPeer);
      EXPECT_EQ(read.senderInfo.ntp, row.report.senderInfo.ntp);
      EXPECT_EQ(read.senderInfo.rtpTimestamp, row.report.senderInfo.rtpTimestamp);
      EXPECT_EQ(read.senderInfo.packetCount, 1234u);
      EXPECT_EQ(read.senderInfo.octetCount, 56789u);
    }
    EXPECT_EQ(read.hasBlock, row.report.hasBlock);
    if (row.report.hasBlock) {
      EXPECT_EQ(read.block.fractionLost, 25);
      EXPECT_EQ(read.block.cumulativeLost, row.report.block.cumulativeLost);
      EXPECT_EQ(read.block.extendedHighest, 0x0001FFFFu);
      EXPECT_EQ(read.block.jitter, 77u);
      EXPECT_EQ(read.block.lastSr, 0x456789ABu);
      EXPECT_EQ(read.block.delaySinceLastSr, 0x00018000u);
    }
    EXPECT_EQ(read.bye, row.report.bye);
    // A block about another source is not about us.
    ASSERT_TRUE(ParseRtcp(packet.data(), packet.size(), kOurs + 1, &read));
    EXPECT_FALSE(read.hasBlock);
  }
}

// An RR with one block about us, then an SDES "abc".
Bytes Valid() {
  Bytes packet;
  WriteRtcp(Report(false, true, 0, false), packet);
  return packet;
}

Bytes With(Bytes packet, std::size_t at, std::uint8_t value) {
  packet.at(at) = value;
  return packet;
}

Bytes Appended(Bytes packet, const Bytes& tail) {
  packet.insert(packet.end(), tail.begin(), tail.end());
  return packet;
}

TEST(RtcpPacket, RefusesMalformedDatagramsAndSkipsUnknownTypes) {
  const Bytes valid = Valid();  // RR: 32 bytes (length 7), SDES: 16 bytes (length 3)
  const Bytes app = {0x80, 204, 0, 2, 1, 2, 3, 4, 'n', 'a', 'm', 'e'};
  const Bytes paddedApp = {0xA0, 204, 0, 2, 1, 2, 3, 4, 0, 0, 0, 4};
  const struct {
    const char* name;
    Bytes datagram;
    bool accepted;
  } rows[] = {
      {"valid", valid, true},
      {"unknown type skipped", Appended(valid, app), true},
      {"padding at the end", Appended(valid, paddedApp), true},
      {"empty", {}, false},
      {"shorter than a header", Bytes(valid.begin(), valid.begin() + 3), false},
      {"truncated", Bytes(valid.begin(), valid.end() - 1), false},
      {"cut between packets plus one word", Bytes(valid.begin(), valid.begin() + 36), false},
      {"length past the end", With(valid, 3, 12), false},
      {"length short of the blocks", With(valid, 3, 2), false},
      {"version 1", With(valid, 0, 0x41), false},
      {"version 2 first, 3 second", With(valid, 32, 0xC1), false},
      {"first packet not a report", Appended(app, valid), false},
      {"padding beyond its packet", Appended(valid, With(paddedApp, 11, 9)), false},
      {"padding count 0", Appended(valid, With(paddedApp, 11, 0)), false},
      {"padding before the last packet", Appended(Appended(valid, paddedApp), app), false},
      {"trailing garbage", Appended(valid, {0x80}), false},
  };
  for (const auto& row : rows) {
    RtcpPeerPacket read;
    EXPECT_EQ(ParseRtcp(row.datagram.data(), row.datagram.size(), kOurs, &read), row.accepted)
        << row.name;
  }
}

TEST(RtcpSession, ReportsAtRandomisedIntervalsTheFirstSooner) {
  const struct { int interval; } rows[] = {{RtcpSession::kIntervalFrames}, {10}, {1}};
  for (const auto& row : rows) {
    std::mt19937 random(7);
    RtcpSession session(random);
    session.SetIntervalFrames(row.interval);
    const int first = std::max(row.interval / RtcpSession::kFirstIntervalDivisor, 1);
    std::vector<std::uint64_t> due;
    for (std::uint64_t frame = 100; frame < 100 + 40 * static_cast<std::uint64_t>(row.interval);
         ++frame)
      if (session.Due(frame)) due.push_back(frame);
    ASSERT_GE(due.size(), 20u) << row.interval;
    EXPECT_GE(due[0] - 100, std::max<std::uint64_t>(first / 2, 1));
    EXPECT_LE(due[0] - 100, first + first / 2);
    for (std::size_t i = 1; i < due.size(); ++i) {
      EXPECT_GE(due[i] - due[i - 1], std::max<std::uint64_t>(row.interval / 2, 1));
      EXPECT_LE(due[i] - due[i - 1], static_cast<std::uint64_t>(row.interval + row.interval / 2));
    }
  }
}

// The fraction lost counts the interval since the previous report; the
// cumulative loss counts from the source's first packet.
TEST(RtcpSession, FractionLostCountsEachIntervalOnItsOwn) {
  std::mt19937 random(1);
  RtcpSession session(random);
  const struct {
    std::int64_t expected;
    std::uint64_t received;
    int fraction;
    std::int32_t cumulative;
  } rows[] = {
      {100, 100, 0, 0},     // nothing lost
      {200, 150, 128, 50},  // half of the next 100
      {300, 250, 0, 50},    // none of the next 100
      {400, 402, 0, -2},    // duplicates: more than expected arrived
      {404, 403, 192, 1},   // 3 of 4
  };
  for (const auto& row : rows) {
    ReceptionStatistics reception{true, kPeer, 0, row.expected, row.received, 0, 8000};
    RtcpReport report;
    session.Build(RtcpSession::SendState{}, reception, 0, false, &report);
    ASSERT_TRUE(report.hasBlock);
    EXPECT_EQ(report.block.fractionLost, row.fraction) << row.expected;
    EXPECT_EQ(report.block.cumulativeLost, row.cumulative) << row.expected;
  }
}

// Our SR leaves at T; the peer holds it DLSR and its RR arrives at T +
// RTT + DLSR. The peer's SR gives our next block its LSR and DLSR.
TEST(RtcpSession, RoundTripIsArrivalLessLastSrLessDelay) {
  constexpr std::uint64_t kSecond = 1ull << 32;
  const std::uint64_t sent = 3'900'000'000ull * kSecond;
  const struct {
    std::uint64_t delay, roundTrip;  // NTP units
    int ms;
  } rows[] = {{0, 0, 0}, {kSecond / 2, kSecond / 50, 20}, {3 * kSecond, kSecond / 4, 250}};
  for (const auto& row : rows) {
    std::mt19937 random(1);
    RtcpSession session(random);
    RtcpSession::SendState send{kOurs, 50, 8000, true, 1234};
    RtcpReport ours;
    session.Build(send, ReceptionStatistics{}, sent, false, &ours);
    ASSERT_TRUE(ours.sender);
    ASSERT_FALSE(ours.hasBlock);

    RtcpReport peer = Report(true, true, 0, false);
    peer.senderInfo.ntp = 0xDEADBEEF'12345678ull;
    peer.block.lastSr = NtpMiddle(sent);
    peer.block.delaySinceLastSr = static_cast<std::uint32_t>(row.delay >> 16);
    Bytes datagram;
    WriteRtcp(peer, datagram);
    const std::uint64_t arrival = sent + row.delay + row.roundTrip;
    ASSERT_TRUE(session.OnPacket(datagram.data(), datagram.size(), kOurs, arrival));
    ChannelStatistics statistics;
    session.AddStatistics(&statistics, 8000);
    EXPECT_TRUE(statistics.peerReported);
    EXPECT_NEAR(statistics.roundTripMs, row.ms, 1);
    EXPECT_EQ(statistics.senderReportsReceived, 1u);
    EXPECT_DOUBLE_EQ(statistics.peerJitterMs, 77 / 8.0);

    // Nothing more sent: an RR whose block answers the peer's SR.
    ReceptionStatistics reception{true, kPeer, 10, 10, 10, 0, 8000};
    session.Build(send, reception, arrival + kSecond, false, &ours);
    EXPECT_FALSE(ours.sender);
    EXPECT_EQ(ours.block.lastSr, 0xBEEF1234u);
    EXPECT_EQ(ours.block.delaySinceLastSr, 0x10000u);
  }
}

// The receiver's sequence and jitter figures: jitter follows appendix A.8
// with arrivals in media frames (160 ticks of an 8 kHz clock each).
TEST(RtcpReception, SequenceAndJitterFollowTheStream) {
  struct Packet {
    std::uint16_t sequence;
    std::uint32_t timestamp;
    std::uint64_t frame;  // of arrival
  };
  const struct {
    const char* name;
    std::vector<Packet> packets;
    std::uint32_t highest;
    std::int64_t expected;
    std::uint64_t received;
    std::uint32_t jitter;
  } rows[] = {
      {"steady", {{1, 0, 5}, {2, 160, 6}, {3, 320, 7}}, 3, 3, 3, 0},
      {"one late by a frame", {{1, 0, 5}, {2, 160, 7}, {3, 320, 7}}, 3, 3, 3, 19},
      {"a gap of two", {{10, 0, 5}, {13, 480, 8}}, 13, 4, 2, 0},
      {"wrap of the sequence", {{65535, 0, 5}, {0, 160, 6}, {1, 320, 7}}, 65536 + 1, 3, 3, 0},
      {"a duplicate", {{1, 0, 5}, {2, 160, 6}, {2, 160, 6}}, 2, 2, 3, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ChannelReceiver receiver;
    Bytes datagram;
    const std::uint8_t payload[160] = {};
    for (const Packet& packet : row.packets) {
      RtpHeader header;
      header.payloadType = 0;  // PCMU, 8 kHz
      header.sequence = packet.sequence;
      header.timestamp = packet.timestamp + 0x7FFFFF00;
      header.ssrc = kPeer;
      WriteRtp(header, payload, sizeof payload, datagram);
      receiver.SetArrivalFrame(packet.frame);
      receiver.OnDatagram(datagram.data(), datagram.size(), false);
    }
    const ReceptionStatistics reception = receiver.Reception();
    ASSERT_TRUE(reception.haveSource);
    EXPECT_EQ(reception.ssrc, kPeer);
    EXPECT_EQ(reception.extendedHighest, row.highest);
    EXPECT_EQ(reception.expected, row.expected);
    EXPECT_EQ(reception.received, row.received);
    EXPECT_EQ(reception.jitter, row.jitter);
    EXPECT_EQ(reception.clockRate, 8000);
  }
}

}  // namespace
