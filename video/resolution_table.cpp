#include "video/resolution_table.h"

#include <cstdint>

namespace video {
namespace {

struct ResolutionRow {
  const OLECHAR* name;
  LONG width;
  LONG height;
};

// Indexed by CT_IMAGE_RESOLUTION. "HD" is 960 x 720 and "FULLHD" 1440 x 1080;
// the 1280 x 720 and 1920 x 1080 sizes are "WHD" and "WFULLHD".
constexpr ResolutionRow kResolutions[kResolutionCount] = {
    {MEDLEY_OLESTR("SQCIF"), 128, 96},     {MEDLEY_OLESTR("QCIF"), 176, 144},
    {MEDLEY_OLESTR("CIF"), 352, 288},      {MEDLEY_OLESTR("4CIF"), 704, 576},
    {MEDLEY_OLESTR("QQVGA"), 160, 120},    {MEDLEY_OLESTR("QVGA"), 320, 240},
    {MEDLEY_OLESTR("VGA"), 640, 480},      {MEDLEY_OLESTR("SVGA"), 800, 600},
    {MEDLEY_OLESTR("HD"), 960, 720},       {MEDLEY_OLESTR("XGA"), 1024, 768},
    {MEDLEY_OLESTR("FULLHD"), 1440, 1080}, {MEDLEY_OLESTR("WFULLHD"), 1920, 1080},
    {MEDLEY_OLESTR("NTSC"), 720, 480},     {MEDLEY_OLESTR("WQVGA"), 400, 240},
    {MEDLEY_OLESTR("WVGA"), 800, 480},     {MEDLEY_OLESTR("WHD"), 1280, 720},
};

// Null for a value outside the table; the unsigned comparison also rejects
// negative values.
const ResolutionRow* FindRow(CT_IMAGE_RESOLUTION resolution) {
  auto index = static_cast<std::uint32_t>(resolution);
  return index < static_cast<std::uint32_t>(kResolutionCount) ? &kResolutions[index] : nullptr;
}

// The classification rules in the order they are tried. The first ten hold
// when either dimension fits, the last two only when both do.
struct SizeRule {
  LONG width;
  LONG height;
  bool both;
  CT_IMAGE_RESOLUTION resolution;
};

constexpr SizeRule kSizeRules[] = {
    {128, 96, false, CT_IMAGE_RES_SUBQCIF},   {160, 120, false, CT_IMAGE_RES_QQVGA},
    {176, 144, false, CT_IMAGE_RES_QCIF},     {320, 240, false, CT_IMAGE_RES_QVGA},
    {352, 288, false, CT_IMAGE_RES_CIF},      {640, 480, false, CT_IMAGE_RES_VGA},
    {704, 576, false, CT_IMAGE_RES_4CIF},     {800, 600, false, CT_IMAGE_RES_SVGA},
    {960, 720, false, CT_IMAGE_RES_HD},       {1024, 768, false, CT_IMAGE_RES_XGA},
    {1440, 1080, true, CT_IMAGE_RES_FULL_HD}, {1920, 1080, true, CT_IMAGE_RES_WIDE_FULL_HD},
};

}  // namespace

platform::OleString ResolutionName(CT_IMAGE_RESOLUTION resolution) {
  const ResolutionRow* row = FindRow(resolution);
  return row ? platform::OleString(row->name) : platform::OleString();
}

HRESULT ResolutionFromSize(LONG width, LONG height, CT_IMAGE_RESOLUTION* resolution) {
  if (!resolution) return E_POINTER;
  for (const SizeRule& rule : kSizeRules) {
    bool widthFits = width <= rule.width;
    bool heightFits = height <= rule.height;
    if (rule.both ? (widthFits && heightFits) : (widthFits || heightFits)) {
      *resolution = rule.resolution;
      return S_OK;
    }
  }
  // Larger than 1920 x 1080 in either dimension.
  *resolution = CT_IMAGE_RES_4CIF;
  return S_OK;
}

}  // namespace video

extern "C" MEDLEY_API HRESULT GetImageWidth(CT_IMAGE_RESOLUTION resolution, LONG* width) {
  if (!width) return E_POINTER;
  const video::ResolutionRow* row = video::FindRow(resolution);
  *width = row ? row->width : 0;
  return S_OK;
}

extern "C" MEDLEY_API HRESULT GetImageHeight(CT_IMAGE_RESOLUTION resolution, LONG* height) {
  if (!height) return E_POINTER;
  const video::ResolutionRow* row = video::FindRow(resolution);
  *height = row ? row->height : 0;
  return S_OK;
}
