// Feeds datagrams, as a peer or an attacker could send them to a channel's
// RTCP port, to the RTCP reader and the session that keeps the peer's
// figures, then builds our next report from them and reads it back: every
// report we write must read as valid.
//
// Input: the first 4 bytes are the SSRC taken as ours, the rest one datagram.
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/standin/rtcp_report.h"
#include "engine/standin/rtcp_session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::uint32_t ours = std::uint32_t{data[0]} << 24 | std::uint32_t{data[1]} << 16 |
                             std::uint32_t{data[2]} << 8 | data[3];
  std::mt19937 random(1);
  standin::RtcpSession session(random);
  const std::uint64_t arrival = 0xE000000000000000ull;
  const bool accepted = session.OnPacket(data + 4, size - 4, ours, arrival);
  standin::RtcpPeerPacket packet;
  if (standin::ParseRtcp(data + 4, size - 4, ours, &packet) != accepted) __builtin_trap();

  standin::ReceptionStatistics reception{true, packet.senderSsrc, 7, 7, 5, 3, 8000};
  standin::RtcpReport report;
  session.Build(standin::RtcpSession::SendState{ours, 9, 1440, true, 1}, reception,
                arrival + (1ull << 32), true, &report);
  std::vector<std::uint8_t> written;
  standin::WriteRtcp(report, written);
  if (!standin::ParseRtcp(written.data(), written.size(), packet.senderSsrc, &packet) ||
      !packet.hasSenderInfo || !packet.hasBlock || !packet.bye)
    __builtin_trap();
  return 0;
}
