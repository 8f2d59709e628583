#include "video/video_size_tables.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

#include "video/resolution_table.h"

namespace video {
namespace {

using platform::OleString;
using platform::OleStringView;

OLECHAR AsciiUpper(OLECHAR c) {
  return (c >= u'a' && c <= u'z') ? static_cast<OLECHAR>(c - u'a' + u'A') : c;
}

// `text` upper-cased equals `upper` (an upper-case ASCII literal).
bool EqualsUpper(OleStringView text, const char* upper) {
  size_t i = 0;
  for (; upper[i] != '\0'; ++i)
    if (i >= text.size() || AsciiUpper(text[i]) != static_cast<OLECHAR>(upper[i])) return false;
  return i == text.size();
}

template <class T>
void Store(T* out, T value) {
  if (out) *out = value;
}

struct NamedSize {
  const char* name;
  std::uint32_t width;
  std::uint32_t height;
};

// The H.263 size names, in lookup order. "4CIF" and "CIF4" are the same size.
constexpr NamedSize kNamedSizes[] = {
    {"SQCIF", 128, 96},      {"QCIF", 176, 144},  {"CIF", 352, 288},  {"4CIF", 704, 576},
    {"CIF4", 704, 576},      {"QQVGA", 160, 120}, {"QVGA", 320, 240}, {"VGA", 640, 480},
    {"SVGA", 800, 600},      {"XGA", 1024, 768},  {"HD", 960, 720},   {"FULLHD", 1440, 1080},
    {"WFULLHD", 1920, 1080},
};

// Every fmtp parameter name of a media line is looked up here, and most are
// not sizes: names outside the table's lengths are turned away at once.
constexpr size_t kShortestSizeName = 2;  // "HD"
constexpr size_t kLongestSizeName = 7;   // "WFULLHD"

const NamedSize* FindNamedSize(OleStringView name) {
  if (name.size() < kShortestSizeName || name.size() > kLongestSizeName) return nullptr;
  for (const NamedSize& entry : kNamedSizes)
    if (EqualsUpper(name, entry.name)) return &entry;
  return nullptr;
}

struct H264Level {
  const char* code;     // the level byte in upper-case hexadecimal
  std::uint32_t width;  // 0: the level has a bit rate entry only
  std::uint32_t height;
  std::uint32_t frameRate;
  std::uint32_t levelGroup;
  std::int32_t maxBitRate;  // kbit/s
};

constexpr H264Level kH264Levels[] = {
    {"00", 128, 96, 30, 1, 64},       {"01", 0, 0, 0, 0, 128},
    {"0B", 176, 144, 30, 4, 192},     {"0C", 160, 120, 30, 4, 384},
    {"0D", 352, 288, 30, 4, 768},     {"14", 352, 288, 30, 4, 2000},
    {"15", 320, 240, 30, 7, 4000},    {"16", 640, 480, 30, 7, 4000},
    {"1E", 704, 576, 25, 7, 10000},   {"1F", 1024, 768, 30, 7, 14000},
    {"20", 960, 720, 30, 7, 20000},   {"28", 1440, 1080, 30, 7, 20000},
    {"29", 1920, 1080, 30, 7, 20000},
};

// The level of a profile-level-id: its characters at positions 4 and 5.
const H264Level* FindH264Level(OleStringView profileLevelId) {
  if (profileLevelId.size() < 6) return nullptr;
  OleStringView code = profileLevelId.substr(4, 2);
  for (const H264Level& level : kH264Levels)
    if (EqualsUpper(code, level.code)) return &level;
  return nullptr;
}

struct MacroblockSize {
  std::int32_t width;
  std::int32_t height;
};

constexpr MacroblockSize kMacroblockSizes[] = {
    {160, 120}, {320, 240}, {640, 480}, {960, 720}, {1024, 768}, {1440, 1080},
};

// Largest resolution first; QQVGA, the odd one out, comes last.
constexpr CT_IMAGE_RESOLUTION kOfferOrder[] = {
    CT_IMAGE_RES_WIDE_FULL_HD, CT_IMAGE_RES_FULL_HD, CT_IMAGE_RES_XGA,     CT_IMAGE_RES_HD,
    CT_IMAGE_RES_SVGA,         CT_IMAGE_RES_4CIF,    CT_IMAGE_RES_VGA,     CT_IMAGE_RES_QVGA,
    CT_IMAGE_RES_CIF,          CT_IMAGE_RES_QCIF,    CT_IMAGE_RES_SUBQCIF, CT_IMAGE_RES_QQVGA,
};

}  // namespace

bool IsKnownResolutionName(OleStringView name) { return FindNamedSize(name) != nullptr; }

bool SizeFromResolutionName(OleStringView name, OleStringView interval, std::uint32_t* width,
                            std::uint32_t* height, std::uint32_t* frameRate) {
  OleString intervalText(interval);
  std::int32_t pictureInterval = std::clamp(platform::WideToLong(intervalText.c_str()), 1, 32);
  Store(frameRate, std::max<std::uint32_t>(30 / static_cast<std::uint32_t>(pictureInterval), 1));

  const NamedSize* size = FindNamedSize(name);
  Store(width, size ? size->width : 0u);
  Store(height, size ? size->height : 0u);
  return size != nullptr;
}

bool SizeFromH264Level(OleStringView profileLevelId, std::uint32_t* width, std::uint32_t* height,
                       std::uint32_t* levelGroup, std::uint32_t* frameRate) {
  const H264Level* level = FindH264Level(profileLevelId);
  if (!level || level->width == 0) {
    Store(width, 0u);
    Store(height, 0u);
    return false;
  }
  Store(width, level->width);
  Store(height, level->height);
  Store(levelGroup, level->levelGroup);
  Store(frameRate, level->frameRate);
  return true;
}

std::int32_t H264LevelBitrateCap(OleStringView profileLevelId, std::int32_t bitRate) {
  const H264Level* level = FindH264Level(profileLevelId);
  return (level && bitRate < level->maxBitRate) ? bitRate : 0;
}

std::int32_t SizeForMaxMbps(std::int32_t maxMbps, std::int32_t* width) {
  Store(width, -1);
  std::int32_t fittingHeight = -1;
  std::int32_t fittingWidth = -1;
  for (const MacroblockSize& size : kMacroblockSizes) {
    // 64-bit so that no max-mbps overflows; the quotients are the same.
    std::int64_t lines = std::int64_t{maxMbps} * 256 / size.width / 30;
    if (lines < size.height) {
      Store(width, fittingWidth);
      return fittingHeight;
    }
    fittingWidth = size.width;
    fittingHeight = size.height;
  }
  // Everything fits: no limit, signalled by the width staying -1.
  return fittingHeight;
}

bool SizeForMaxFs(std::int32_t maxFs, std::int32_t* width, std::int32_t* height) {
  Store(width, -1);
  if (maxFs < 1) return false;
  std::int32_t fittingWidth = -1;
  std::int32_t fittingHeight = -1;
  for (const MacroblockSize& size : kMacroblockSizes) {
    std::int64_t lines = std::int64_t{maxFs} * 256 / size.width;
    if (lines < size.height) break;
    fittingWidth = size.width;
    fittingHeight = size.height;
  }
  Store(width, fittingWidth);
  Store(height, fittingHeight);
  return fittingWidth > 0;
}

bool BuildVideoSizeList(CT_IMAGE_RESOLUTION resolution, std::uint32_t packetizationMode,
                        std::vector<VideoSizeEntry>* list) {
  if (!list) return false;
  const auto* start = std::find(std::begin(kOfferOrder), std::end(kOfferOrder), resolution);
  bool appended = false;
  for (const auto* it = start; it != std::end(kOfferOrder); ++it) {
    LONG width = 0;
    LONG height = 0;
    GetImageWidth(*it, &width);
    GetImageHeight(*it, &height);
    CT_IMAGE_RESOLUTION named = *it;
    ResolutionFromSize(width, height, &named);
    list->push_back(VideoSizeEntry{30, static_cast<std::uint32_t>(width),
                                   static_cast<std::uint32_t>(height), ResolutionName(named),
                                   packetizationMode});
    appended = true;
  }
  return appended;
}

}  // namespace video
