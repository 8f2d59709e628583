// PayloadType: one RTP payload format, as read from an SDP media line or
// taken from the voice engine's codec list.
#pragma once

#include <cstdint>
#include <vector>

#include "medley/com_base.h"
#include "platform/wide_text.h"
#include "video/video_size_tables.h"

// Values of PayloadType::mediaKind.
constexpr LONG kMediaKindAudio = 1;
constexpr LONG kMediaKindVideo = 2;
constexpr LONG kMediaKindAudioVideo = 3;

// Dynamic RTP payload numbers start here; lower ones are static or reserved.
constexpr std::uint32_t kFirstDynamicPayloadNumber = 96;

class PayloadType {
 public:
  PayloadType() = default;
  PayloadType(LONG number, platform::OleStringView name, LONG kind, LONG clockRate, LONG channels);
  PayloadType(const PayloadType&) = default;
  PayloadType(PayloadType&&) = default;
  PayloadType& operator=(const PayloadType&) = default;
  PayloadType& operator=(PayloadType&&) = default;
  virtual ~PayloadType() = default;

  // The payload number as RTP and SDP mean it: an unsigned value. A number
  // read from "-1" or "4294967295" is 4294967295, never a static number.
  std::uint32_t Number() const { return static_cast<std::uint32_t>(payloadNumber); }
  void SetNumber(std::uint32_t number) { payloadNumber = static_cast<LONG>(number); }
  bool IsDynamic() const { return Number() >= kFirstDynamicPayloadNumber; }

  bool operator==(const PayloadType&) const = default;

  // The numbers come first and the two containers last, so that a record
  // takes 96 bytes on 64-bit builds and a list of ten fits in one small
  // allocation.
  LONG payloadNumber = -1;
  LONG mediaKind = kMediaKindAudio;
  LONG clockRate = 0;  // Hz
  LONG channels = 0;
  LONG rate = 0;        // engine codecs: the engine's bit rate in bit/s
  LONG packetSize = 0;  // engine codecs: samples per packet
  LONG videoBitRate = 0;
  LONG videoMaxBitRate = 0;                       // kbit/s, from fmtp max-br (capped for H.264)
  platform::OleString encodingName;               // "PCMU", "telephone-event", "H263", ...
  std::vector<video::VideoSizeEntry> videoSizes;  // empty for audio
};

using PayloadTypeList = std::vector<PayloadType>;
