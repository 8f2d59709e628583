// RTP packets (RFC 3550): the fixed header this engine reads and writes.
// Receiving honours the CSRC list, the header extension and padding;
// sending writes no CSRC, extension or padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace standin {

constexpr std::size_t kRtpHeaderSize = 12;

struct RtpHeader {
  bool marker = false;
  int payloadType = 0;  // 0..127
  std::uint16_t sequence = 0;
  std::uint32_t timestamp = 0;
  std::uint32_t ssrc = 0;
};

struct RtpView {
  RtpHeader header;
  const std::uint8_t* payload = nullptr;
  std::size_t payloadSize = 0;
};

// Reads `data` as an RTP packet. False for anything else: a version other
// than 2, a header, CSRC list, extension or padding longer than the
// datagram, or an RTCP packet sharing the port (payload types 72..76 with
// the marker bit, RFC 5761).
[[nodiscard]] bool ParseRtp(const std::uint8_t* data, std::size_t size, RtpView* packet);

// Replaces `packet` with the header followed by the payload.
void WriteRtp(const RtpHeader& header, const std::uint8_t* payload, std::size_t size,
              std::vector<std::uint8_t>& packet);

}  // namespace standin
