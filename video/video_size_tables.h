// The size and level tables that SDP negotiation reads video format
// parameters with: H.263 size names with a picture interval, H.264
// profile-level-id levels and bit rate caps, max-mbps and max-fs limits, and
// the list of sizes offered from a largest resolution downwards. Pure
// functions over fixed tables; no state, any thread. Names compare without
// regard to ASCII letter case.
#pragma once

#include <cstdint>
#include <vector>

#include "medley/host_interfaces.h"
#include "platform/wide_text.h"

namespace video {

// One element of the offered video size list.
struct VideoSizeEntry {
  std::uint32_t frameRate = 0;  // frames per second
  std::uint32_t width = 0;      // pixels
  std::uint32_t height = 0;     // pixels
  platform::OleString name;     // a resolution name, as ResolutionName gives it
  std::uint32_t packetizationMode = 0;

  bool operator==(const VideoSizeEntry&) const = default;
};

// Whether `name` is one of SQCIF, QCIF, CIF, 4CIF, CIF4, QQVGA, QVGA, VGA,
// SVGA, XGA, HD, FULLHD, WFULLHD (NTSC, WQVGA, WVGA and WHD are not).
bool IsKnownResolutionName(platform::OleStringView name);

// An H.263 size parameter such as "QCIF=2": `interval` is read as _wtol
// does and clamped to 1..32; `frameRate` becomes 30 / interval (at least 1)
// whether or not the name is known. A known name writes its size and gives
// true; an unknown one writes 0 x 0 and gives false. Null out-pointers are
// skipped.
bool SizeFromResolutionName(platform::OleStringView name, platform::OleStringView interval,
                            std::uint32_t* width, std::uint32_t* height, std::uint32_t* frameRate);

// Looks up the level code, the characters at positions 4 and 5 of a
// profile-level-id ("42e01e" -> "1E"). A level with a size writes width,
// height, level group and frame rate and gives true; otherwise width and
// height become 0, level group and frame rate are left alone, and the
// result is false (level "01" has no size). Null out-pointers are skipped.
bool SizeFromH264Level(platform::OleStringView profileLevelId, std::uint32_t* width,
                       std::uint32_t* height, std::uint32_t* levelGroup, std::uint32_t* frameRate);

// `bitRate` (kbit/s) when the level is known and `bitRate` is below the
// level's maximum bit rate; 0 in every other case.
std::int32_t H264LevelBitrateCap(platform::OleStringView profileLevelId, std::int32_t bitRate);

// The largest size of the table 160x120, 320x240, 640x480, 960x720,
// 1024x768, 1440x1080 whose height fits (maxMbps * 256) / width / 30
// (macroblocks per second at 30 fps). Returns its height and writes its
// width; -1 for both when not even the first fits. When every entry fits the
// result is 1080 and the width stays -1 (no limit: callers apply a size only
// when both values are at least 1).
std::int32_t SizeForMaxMbps(std::int32_t maxMbps, std::int32_t* width);

// The largest size of the same table whose height fits (maxFs * 256) /
// width (macroblocks per frame); writes it and gives true. 1440x1080 when
// every entry fits. A maxFs too small for 160x120 gives false, no usable
// limit: the width becomes -1, and so does the height unless maxFs is
// below 1 (then the height is left alone).
bool SizeForMaxFs(std::int32_t maxFs, std::int32_t* width, std::int32_t* height);

// Appends `resolution` and every resolution after it in the order WFULLHD,
// FULLHD, XGA, HD, SVGA, 4CIF, VGA, QVGA, CIF, QCIF, SQCIF, QQVGA, each at
// 30 fps with the given packetization mode. True when anything was
// appended; NTSC, WQVGA, WVGA, WHD and unknown values append nothing.
bool BuildVideoSizeList(CT_IMAGE_RESOLUTION resolution, std::uint32_t packetizationMode,
                        std::vector<VideoSizeEntry>* list);

}  // namespace video
