// RTCP compound packets (RFC 3550 section 6): what a channel writes (an SR
// or RR, at most one report block, an SDES with our CNAME, a BYE when the
// channel ends) and what it reads from the peer's. Reading is strict: every
// packet version 2, the length fields adding up to the datagram exactly,
// padding only at the very end and within its packet, the first packet an
// SR or RR; packet types we do not use are skipped by their length. A
// datagram that breaks a rule is refused whole and nothing is read past its
// end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace standin {

constexpr int kRtcpSenderReport = 200;
constexpr int kRtcpReceiverReport = 201;
constexpr int kRtcpSourceDescription = 202;
constexpr int kRtcpBye = 203;

// NTP time as 32.32 fixed-point seconds since 1900, from the system clock.
std::uint64_t NtpNow();
// The middle 32 bits (16.16 seconds) that LSR and round trips count in.
inline std::uint32_t NtpMiddle(std::uint64_t ntp) { return static_cast<std::uint32_t>(ntp >> 16); }

struct RtcpSenderInfo {
  std::uint64_t ntp = 0;           // when the report was built
  std::uint32_t rtpTimestamp = 0;  // the same instant in the sender's RTP clock
  std::uint32_t packetCount = 0;   // RTP packets sent (modulo 2^32)
  std::uint32_t octetCount = 0;    // their payload bytes (modulo 2^32)
};

// One reception report block: what a receiver says about one source.
struct RtcpReportBlock {
  std::uint32_t ssrc = 0;              // the source reported on
  int fractionLost = 0;                // lost since the previous report, in 1/256 (0..255)
  std::int32_t cumulativeLost = 0;     // 24-bit signed: duplicates can make it negative
  std::uint32_t extendedHighest = 0;   // highest sequence number with the wrap count above
  std::uint32_t jitter = 0;            // interarrival jitter in RTP timestamp units
  std::uint32_t lastSr = 0;            // NtpMiddle of the source's last SR; 0: none
  std::uint32_t delaySinceLastSr = 0;  // since that SR arrived, in 1/65536 s
};

// What one compound packet of ours carries.
struct RtcpReport {
  std::uint32_t ssrc = 0;
  bool sender = false;  // an SR with `senderInfo`, else an RR
  RtcpSenderInfo senderInfo;
  bool hasBlock = false;
  RtcpReportBlock block;
  std::string_view cname;  // at most 255 bytes are written
  bool bye = false;
};

// Replaces `packet` with the compound packet for `report`.
void WriteRtcp(const RtcpReport& report, std::vector<std::uint8_t>& packet);

// What a peer's compound packet told about itself and about `ourSsrc`.
struct RtcpPeerPacket {
  bool hasSenderInfo = false;  // it held an SR
  std::uint32_t senderSsrc = 0;
  RtcpSenderInfo senderInfo;
  bool hasBlock = false;  // a report block about `ourSsrc`
  RtcpReportBlock block;
  bool bye = false;
};

// The stream received from the peer as the receiving half counts it
// (RFC 3550 appendix A.3 and A.8), for the report block about it.
struct ReceptionStatistics {
  bool haveSource = false;
  std::uint32_t ssrc = 0;
  std::uint32_t extendedHighest = 0;
  std::int64_t expected = 0;   // since the source's first packet
  std::uint64_t received = 0;  // duplicates included
  std::uint32_t jitter = 0;    // in `clockRate` ticks
  int clockRate = 0;           // 0: no audio timed yet
};

// Reads `data` as a compound packet; false (and `packet` unspecified) for a
// datagram that breaks any rule above.
[[nodiscard]] bool ParseRtcp(const std::uint8_t* data, std::size_t size, std::uint32_t ourSsrc,
                             RtcpPeerPacket* packet);

}  // namespace standin
