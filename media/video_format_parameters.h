// The video side of a media line's fmtp attributes: frame sizes from H.263
// size parameters ("QCIF=2") and from H.264 profile-level-id, max-mbps,
// max-fs and packetization-mode, and the maximum bit rate (max-br).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/wide_text.h"
#include "video/video_size_tables.h"

namespace media {

// One fmtp attribute value, split once: its payload number and the
// parameter text after the first space (a view into the value).
struct FormatParameterLine {
  std::uint32_t payloadNumber = 0;
  platform::OleStringView parameters;
};

// Splits one fmtp value ("97 profile-level-id=42e01e;max-mbps=11880"): it
// is trimmed and read as a payload number (an unsigned decimal, so "-1" is
// 4294967295) and the parameter text after the first space, a view into the
// value. False when the value does not start with a payload number.
bool ReadFormatParameterLine(platform::OleStringView fmtpValue, FormatParameterLine* line);

struct VideoFormat {
  std::int32_t maxBitRate = 0;  // kbit/s
  std::vector<video::VideoSizeEntry> sizes;
};

// Reads the parameters of every line for `payloadNumber`, in order. H.263
// size names each add a size; a profile-level-id starting "42" makes the
// payload H.264, whose sizes come from its level (limited by max-mbps and
// max-fs) and whose bit rate is capped by the level. False when no line is
// for this payload.
bool ReadVideoFormat(const std::vector<FormatParameterLine>& lines, std::uint32_t payloadNumber,
                     VideoFormat* format);

// The size of a video-resolution attribute value "CIF=2" (a size name and
// picture interval); a QCIF size at 25 frames per second when the value
// names no known size.
video::VideoSizeEntry SizeFromVideoResolution(platform::OleStringView value);

}  // namespace media
