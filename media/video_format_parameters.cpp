#include "media/video_format_parameters.h"

#include "media/sdp_text.h"
#include "video/resolution_table.h"

namespace media {

using platform::OleString;
using platform::OleStringView;
using platform::WideEqualsNoCase;

namespace {

// Parameter names and separators as views, so that their lengths are known
// when the code is compiled.
constexpr OleStringView kMaxbr = MEDLEY_OLESTR("maxbr");
constexpr OleStringView kMaxBr = MEDLEY_OLESTR("max-br");
constexpr OleStringView kMaxFs = MEDLEY_OLESTR("max-fs");
constexpr OleStringView kMaxmbps = MEDLEY_OLESTR("maxmbps");
constexpr OleStringView kMaxMbps = MEDLEY_OLESTR("max-mbps");
constexpr OleStringView kPacketizationMode = MEDLEY_OLESTR("packetization-mode");
constexpr OleStringView kProfileLevelId = MEDLEY_OLESTR("profile-level-id");
constexpr OleStringView kParameterSeparators = MEDLEY_OLESTR(" ;");

// As _wtol: a leading decimal, 0 when there is none.
std::int32_t ToLong(OleStringView text) {
  size_t position = 0;
  LONG value = 0;
  return ReadSigned(text, &position, &value) ? value : 0;
}

video::VideoSizeEntry MakeSize(std::uint32_t width, std::uint32_t height, std::uint32_t frameRate,
                               std::uint32_t packetizationMode) {
  video::VideoSizeEntry entry;
  entry.frameRate = frameRate;
  entry.width = width;
  entry.height = height;
  CT_IMAGE_RESOLUTION resolution = CT_IMAGE_RES_QCIF;
  video::ResolutionFromSize(static_cast<LONG>(width), static_cast<LONG>(height), &resolution);
  entry.name = video::ResolutionName(resolution);
  entry.packetizationMode = packetizationMode;
  return entry;
}

// The H.264 facts gathered from a payload's parameters.
struct H264Facts {
  bool isH264 = false;
  OleString profileLevelId;
  std::int32_t mbpsWidth = -1;
  std::int32_t mbpsHeight = -1;
  std::int32_t maxFs = 0;
  std::int32_t packetizationMode = 0;
};

void ReadParameter(OleStringView parameter, VideoFormat* format, H264Facts* h264) {
  parameter = TrimSpaces(parameter);
  if (parameter.empty()) return;
  size_t equals = parameter.find('=');
  OleStringView name = parameter.substr(0, equals);
  OleStringView value =
      equals == OleStringView::npos ? OleStringView() : parameter.substr(equals + 1);

  // Parameter names compare without regard to letter case.
  if (WideEqualsNoCase(name, kMaxbr) || WideEqualsNoCase(name, kMaxBr)) {
    format->maxBitRate = ToLong(value);
  } else if (WideEqualsNoCase(name, kMaxFs)) {
    h264->maxFs = ToLong(value);
  } else if (WideEqualsNoCase(name, kMaxmbps) || WideEqualsNoCase(name, kMaxMbps)) {
    h264->mbpsHeight = video::SizeForMaxMbps(ToLong(value), &h264->mbpsWidth);
  } else if (WideEqualsNoCase(name, kPacketizationMode)) {
    h264->packetizationMode = ToLong(value);
  } else if (WideEqualsNoCase(name, kProfileLevelId)) {
    if (value.size() >= 2 && value[0] == '4' && value[1] == '2') {
      h264->profileLevelId.assign(value);
      h264->isH264 = true;
    }
  } else if (video::IsKnownResolutionName(name)) {
    std::uint32_t width = 0, height = 0, frameRate = 0;
    if (video::SizeFromResolutionName(name, value, &width, &height, &frameRate))
      format->sizes.push_back(MakeSize(width, height, frameRate, 0));
  }
}

void ApplyH264Level(const H264Facts& h264, VideoFormat* format) {
  std::uint32_t width = 0, height = 0, levelGroup = 0, frameRate = 0;
  video::SizeFromH264Level(h264.profileLevelId, &width, &height, &levelGroup, &frameRate);
  if (h264.mbpsWidth > 0 && h264.mbpsHeight > 0) {
    width = static_cast<std::uint32_t>(h264.mbpsWidth);
    height = static_cast<std::uint32_t>(h264.mbpsHeight);
  }
  std::int32_t fsWidth = -1, fsHeight = -1;
  if (h264.maxFs > 0 && video::SizeForMaxFs(h264.maxFs, &fsWidth, &fsHeight) && fsWidth > 0 &&
      fsHeight > 0 && static_cast<std::uint32_t>(fsWidth) < width &&
      static_cast<std::uint32_t>(fsHeight) < height) {
    width = static_cast<std::uint32_t>(fsWidth);
    height = static_cast<std::uint32_t>(fsHeight);
  }
  format->maxBitRate = video::H264LevelBitrateCap(h264.profileLevelId, format->maxBitRate);
  CT_IMAGE_RESOLUTION resolution = CT_IMAGE_RES_QCIF;
  video::ResolutionFromSize(static_cast<LONG>(width), static_cast<LONG>(height), &resolution);
  format->sizes.clear();
  video::BuildVideoSizeList(resolution, static_cast<std::uint32_t>(h264.packetizationMode),
                            &format->sizes);
}

}  // namespace

bool ReadFormatParameterLine(OleStringView fmtpValue, FormatParameterLine* line) {
  OleStringView text = TrimSpaces(fmtpValue);
  size_t space = text.find(' ');
  size_t position = 0;
  *line = FormatParameterLine();
  if (!ReadUnsigned(text.substr(0, space), &position, &line->payloadNumber)) return false;
  if (space != OleStringView::npos) line->parameters = text.substr(space + 1);
  return true;
}

bool ReadVideoFormat(const std::vector<FormatParameterLine>& lines, std::uint32_t payloadNumber,
                     VideoFormat* format) {
  *format = VideoFormat();
  H264Facts h264;
  bool matched = false;
  for (const FormatParameterLine& line : lines) {
    if (line.payloadNumber != payloadNumber) continue;
    matched = true;
    OleStringView rest = line.parameters;
    while (!rest.empty()) {
      size_t end = rest.find_first_of(kParameterSeparators);
      ReadParameter(rest.substr(0, end), format, &h264);
      if (end == OleStringView::npos) break;
      rest.remove_prefix(end + 1);
    }
  }
  if (h264.isH264) ApplyH264Level(h264, format);
  return matched;
}

video::VideoSizeEntry SizeFromVideoResolution(OleStringView value) {
  size_t equals = value.find('=');
  OleStringView name = value.substr(0, equals);
  OleStringView interval =
      equals == OleStringView::npos ? OleStringView() : value.substr(equals + 1);
  std::uint32_t width = 0, height = 0, frameRate = 0;
  if (video::IsKnownResolutionName(name) &&
      video::SizeFromResolutionName(name, interval, &width, &height, &frameRate))
    return MakeSize(width, height, frameRate, 0);
  return MakeSize(176, 144, 25, 0);
}

}  // namespace media
