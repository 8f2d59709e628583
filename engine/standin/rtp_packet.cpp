#include "engine/standin/rtp_packet.h"

namespace standin {
namespace {

std::uint16_t Read16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::uint32_t Read32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

void Append16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

}  // namespace

bool ParseRtp(const std::uint8_t* data, std::size_t size, RtpView* packet) {
  if (!data || size < kRtpHeaderSize) return false;
  if ((data[0] >> 6) != 2) return false;
  const int secondByte = data[1];
  if (secondByte >= 200 && secondByte <= 204) return false;  // RTCP on the RTP port
  std::size_t offset = kRtpHeaderSize + 4u * (data[0] & 0x0F);
  if (offset > size) return false;
  if (data[0] & 0x10) {  // header extension: 16-bit profile, 16-bit length in words
    if (offset + 4 > size) return false;
    std::size_t words = Read16(data + offset + 2);
    offset += 4 + 4 * words;
    if (offset > size) return false;
  }
  std::size_t end = size;
  if (data[0] & 0x20) {  // padding: the last byte counts the padding bytes
    std::size_t padding = data[size - 1];
    if (padding == 0 || padding > end - offset) return false;
    end -= padding;
  }
  packet->header.marker = (secondByte & 0x80) != 0;
  packet->header.payloadType = secondByte & 0x7F;
  packet->header.sequence = Read16(data + 2);
  packet->header.timestamp = Read32(data + 4);
  packet->header.ssrc = Read32(data + 8);
  packet->payload = data + offset;
  packet->payloadSize = end - offset;
  return true;
}

void WriteRtp(const RtpHeader& header, const std::uint8_t* payload, std::size_t size,
              std::vector<std::uint8_t>& packet) {
  packet.clear();
  packet.reserve(kRtpHeaderSize + size);
  packet.push_back(0x80);  // version 2, no padding, extension or CSRC
  packet.push_back(
      static_cast<std::uint8_t>((header.marker ? 0x80 : 0) | (header.payloadType & 0x7F)));
  Append16(packet, header.sequence);
  Append16(packet, header.timestamp >> 16);
  Append16(packet, header.timestamp & 0xFFFF);
  Append16(packet, header.ssrc >> 16);
  Append16(packet, header.ssrc & 0xFFFF);
  packet.insert(packet.end(), payload, payload + size);
}

}  // namespace standin
