#include "engine/standin/rtcp_report.h"

#include <algorithm>
#include <chrono>

namespace standin {
namespace {

constexpr std::uint64_t kNtpUnixOffset = 2208988800ull;  // seconds from 1900 to 1970
constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kSenderInfoSize = 20;
constexpr std::size_t kBlockSize = 24;
constexpr int kCnameItem = 1;

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  Put16(out, value >> 16);
  Put16(out, value & 0xFFFF);
}

std::uint32_t Get32(const std::uint8_t* at) {
  return std::uint32_t{at[0]} << 24 | std::uint32_t{at[1]} << 16 | std::uint32_t{at[2]} << 8 |
         at[3];
}

// Starts a packet; FinishPacket fills in its length once it is complete.
std::size_t BeginPacket(std::vector<std::uint8_t>& out, int count, int type) {
  const std::size_t start = out.size();
  out.push_back(static_cast<std::uint8_t>(0x80 | count));
  out.push_back(static_cast<std::uint8_t>(type));
  Put16(out, 0);
  return start;
}

void FinishPacket(std::vector<std::uint8_t>& out, std::size_t start) {
  const std::size_t words = (out.size() - start) / 4 - 1;
  out[start + 2] = static_cast<std::uint8_t>(words >> 8);
  out[start + 3] = static_cast<std::uint8_t>(words);
}

void PutBlock(std::vector<std::uint8_t>& out, const RtcpReportBlock& block) {
  Put32(out, block.ssrc);
  const std::int32_t lost = std::clamp<std::int32_t>(block.cumulativeLost, -0x800000, 0x7FFFFF);
  Put32(out, static_cast<std::uint32_t>(std::clamp(block.fractionLost, 0, 255)) << 24 |
                 (static_cast<std::uint32_t>(lost) & 0xFFFFFF));
  Put32(out, block.extendedHighest);
  Put32(out, block.jitter);
  Put32(out, block.lastSr);
  Put32(out, block.delaySinceLastSr);
}

RtcpReportBlock ReadBlock(const std::uint8_t* at) {
  RtcpReportBlock block;
  block.ssrc = Get32(at);
  block.fractionLost = at[4];
  const std::uint32_t lost = Get32(at + 4) & 0xFFFFFF;
  block.cumulativeLost = static_cast<std::int32_t>(lost ^ 0x800000) - 0x800000;  // sign-extend
  block.extendedHighest = Get32(at + 8);
  block.jitter = Get32(at + 12);
  block.lastSr = Get32(at + 16);
  block.delaySinceLastSr = Get32(at + 20);
  return block;
}

// Reads the SR or RR in `body` (the packet after its first word).
bool ReadReport(int type, int count, const std::uint8_t* body, std::size_t size,
                std::uint32_t ourSsrc, RtcpPeerPacket* packet) {
  const std::size_t fixed = 4 + (type == kRtcpSenderReport ? kSenderInfoSize : 0);
  if (size < fixed + kBlockSize * static_cast<std::size_t>(count)) return false;
  if (type == kRtcpSenderReport) {
    packet->hasSenderInfo = true;
    packet->senderSsrc = Get32(body);
    packet->senderInfo.ntp = std::uint64_t{Get32(body + 4)} << 32 | Get32(body + 8);
    packet->senderInfo.rtpTimestamp = Get32(body + 12);
    packet->senderInfo.packetCount = Get32(body + 16);
    packet->senderInfo.octetCount = Get32(body + 20);
  }
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* at = body + fixed + kBlockSize * static_cast<std::size_t>(i);
    if (Get32(at) != ourSsrc) continue;
    packet->hasBlock = true;
    packet->block = ReadBlock(at);
  }
  return true;
}

}  // namespace

std::uint64_t NtpNow() {
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(since).count();
  const std::uint64_t seconds = static_cast<std::uint64_t>(micros / 1000000) + kNtpUnixOffset;
  const std::uint64_t fraction = (static_cast<std::uint64_t>(micros % 1000000) << 32) / 1000000;
  return seconds << 32 | fraction;
}

void WriteRtcp(const RtcpReport& report, std::vector<std::uint8_t>& packet) {
  packet.clear();
  const int blocks = report.hasBlock ? 1 : 0;
  std::size_t start =
      BeginPacket(packet, blocks, report.sender ? kRtcpSenderReport : kRtcpReceiverReport);
  Put32(packet, report.ssrc);
  if (report.sender) {
    Put32(packet, static_cast<std::uint32_t>(report.senderInfo.ntp >> 32));
    Put32(packet, static_cast<std::uint32_t>(report.senderInfo.ntp));
    Put32(packet, report.senderInfo.rtpTimestamp);
    Put32(packet, report.senderInfo.packetCount);
    Put32(packet, report.senderInfo.octetCount);
  }
  if (report.hasBlock) PutBlock(packet, report.block);
  FinishPacket(packet, start);

  // SDES: one chunk with the CNAME, ended by a null item and padded with
  // nulls to a 32-bit boundary.
  start = BeginPacket(packet, 1, kRtcpSourceDescription);
  Put32(packet, report.ssrc);
  const std::size_t length = std::min<std::size_t>(report.cname.size(), 255);
  packet.push_back(static_cast<std::uint8_t>(kCnameItem));
  packet.push_back(static_cast<std::uint8_t>(length));
  packet.insert(packet.end(), report.cname.begin(),
                report.cname.begin() + static_cast<std::ptrdiff_t>(length));
  do packet.push_back(0);
  while (packet.size() % 4 != 0);
  FinishPacket(packet, start);

  if (report.bye) {
    start = BeginPacket(packet, 1, kRtcpBye);
    Put32(packet, report.ssrc);
    FinishPacket(packet, start);
  }
}

bool ParseRtcp(const std::uint8_t* data, std::size_t size, std::uint32_t ourSsrc,
               RtcpPeerPacket* packet) {
  *packet = RtcpPeerPacket{};
  if (!data || size < kHeaderSize) return false;
  for (std::size_t at = 0; at < size;) {
    if (size - at < kHeaderSize) return false;
    const std::uint8_t* header = data + at;
    if ((header[0] >> 6) != 2) return false;
    const bool padded = (header[0] & 0x20) != 0;
    const int count = header[0] & 0x1F;
    const int type = header[1];
    const std::size_t length = (std::size_t{header[2]} << 8 | header[3]) * 4 + kHeaderSize;
    if (length > size - at) return false;
    const bool last = at + length == size;
    if (at == 0 && type != kRtcpSenderReport && type != kRtcpReceiverReport) return false;
    std::size_t body = length - kHeaderSize;
    if (padded) {
      // Only the last packet may be padded; the count includes itself.
      const std::size_t padding = data[at + length - 1];
      if (!last || padding == 0 || padding > body) return false;
      body -= padding;
    }
    if (type == kRtcpSenderReport || type == kRtcpReceiverReport) {
      if (!ReadReport(type, count, header + kHeaderSize, body, ourSsrc, packet)) return false;
    } else if (type == kRtcpBye) {
      packet->bye = true;
    }
    at += length;
  }
  return true;
}

}  // namespace standin
