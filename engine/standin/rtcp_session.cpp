#include "engine/standin/rtcp_session.h"

#include <algorithm>
#include <cstdio>

namespace standin {

RtcpSession::RtcpSession(std::mt19937& random) : random_(random) {
  // A random CNAME per session: unique enough to tie our streams together
  // and telling the peer nothing about the user or the machine.
  char text[24];
  std::snprintf(text, sizeof text, "%08x%08x", static_cast<unsigned>(random_()),
                static_cast<unsigned>(random_()));
  cname_ = text;
}

void RtcpSession::SetIntervalFrames(int frames) { intervalFrames_ = std::max(frames, 1); }

std::uint64_t RtcpSession::NextGap(int nominal) {
  // Uniform in [0.5, 1.5] times the nominal gap, at least one frame.
  const std::uint64_t low = static_cast<std::uint64_t>(nominal) / 2;
  const std::uint64_t span = static_cast<std::uint64_t>(nominal);
  return std::max<std::uint64_t>(1, low + random_() % (span + 1));
}

bool RtcpSession::Due(std::uint64_t frame) {
  if (!scheduled_) {
    scheduled_ = true;
    nextFrame_ = frame + NextGap(std::max(intervalFrames_ / kFirstIntervalDivisor, 1));
    return false;
  }
  if (frame < nextFrame_) return false;
  nextFrame_ = frame + NextGap(intervalFrames_);
  return true;
}

void RtcpSession::Build(const SendState& send, const ReceptionStatistics& reception,
                        std::uint64_t ntp, bool bye, RtcpReport* report) {
  *report = RtcpReport{};
  report->ssrc = send.ssrc;
  report->cname = cname_;
  report->bye = bye;
  // An SR only when we sent RTP since the previous report.
  report->sender = send.haveTimestamp && send.packets > packetsAtLastReport_;
  if (report->sender) {
    report->senderInfo.ntp = ntp;
    report->senderInfo.rtpTimestamp = send.rtpTimestamp;
    report->senderInfo.packetCount = static_cast<std::uint32_t>(send.packets);
    report->senderInfo.octetCount = static_cast<std::uint32_t>(send.octets);
  }
  packetsAtLastReport_ = send.packets;

  if (reception.haveSource) {
    if (reception.ssrc != priorSsrc_ || reception.expected < expectedPrior_ ||
        reception.received < receivedPrior_) {
      priorSsrc_ = reception.ssrc;  // another stream, or its numbering restarted
      expectedPrior_ = 0;
      receivedPrior_ = 0;
    }
    RtcpReportBlock& block = report->block;
    report->hasBlock = true;
    block.ssrc = reception.ssrc;
    block.extendedHighest = reception.extendedHighest;
    block.jitter = reception.jitter;
    const std::int64_t lost = reception.expected - static_cast<std::int64_t>(reception.received);
    block.cumulativeLost =
        static_cast<std::int32_t>(std::clamp<std::int64_t>(lost, -0x800000, 0x7FFFFF));
    // Appendix A.3: the fraction of the packets expected in the interval
    // that did not arrive; none when more arrived than were expected.
    const std::int64_t expectedInterval = reception.expected - expectedPrior_;
    const std::int64_t lostInterval =
        expectedInterval - static_cast<std::int64_t>(reception.received - receivedPrior_);
    block.fractionLost =
        expectedInterval > 0 && lostInterval > 0
            ? static_cast<int>(std::min<std::int64_t>((lostInterval << 8) / expectedInterval, 255))
            : 0;
    expectedPrior_ = reception.expected;
    receivedPrior_ = reception.received;
    if (havePeerSr_ && peerSrSsrc_ == reception.ssrc) {
      block.lastSr = peerSrMiddle_;
      block.delaySinceLastSr =
          ntp > peerSrArrival_ ? static_cast<std::uint32_t>((ntp - peerSrArrival_) >> 16) : 0;
    }
  }
  ++sent_;
}

bool RtcpSession::OnPacket(const std::uint8_t* data, std::size_t size, std::uint32_t ourSsrc,
                           std::uint64_t ntp) {
  RtcpPeerPacket packet;
  if (!ParseRtcp(data, size, ourSsrc, &packet)) {
    ++malformed_;
    return false;
  }
  if (packet.hasSenderInfo) {
    ++senderReportsReceived_;
    havePeerSr_ = true;
    peerSrSsrc_ = packet.senderSsrc;
    peerSrMiddle_ = NtpMiddle(packet.senderInfo.ntp);
    peerSrArrival_ = ntp;
  }
  if (packet.hasBlock) {
    peerReported_ = true;
    aboutUs_ = packet.block;
    // Section 6.4.1: arrival - LSR - DLSR, all in 1/65536 s of our own
    // clock; a small negative answer (rounding) reads as 0.
    if (packet.block.lastSr != 0) {
      const std::uint32_t span = NtpMiddle(ntp) - packet.block.lastSr;
      const std::int64_t rtt =
          static_cast<std::int64_t>(span) - std::int64_t{packet.block.delaySinceLastSr};
      roundTripMs_ = static_cast<int>(std::max<std::int64_t>(rtt, 0) * 1000 / 65536);
    }
  }
  return true;
}

void RtcpSession::AddStatistics(ChannelStatistics* statistics, int sendClockRate) const {
  statistics->rtcpMalformed = malformed_;
  statistics->senderReportsReceived = senderReportsReceived_;
  statistics->peerReported = peerReported_;
  statistics->peerFractionLost = aboutUs_.fractionLost;
  statistics->peerCumulativeLost = aboutUs_.cumulativeLost;
  statistics->peerJitter = aboutUs_.jitter;
  statistics->peerJitterMs = sendClockRate > 0 ? 1000.0 * aboutUs_.jitter / sendClockRate : 0;
  statistics->roundTripMs = roundTripMs_;
}

}  // namespace standin
