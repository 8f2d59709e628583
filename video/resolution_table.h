// The image resolution table of the host contract: one row per
// CT_IMAGE_RESOLUTION value with its name, width and height in pixels, and
// the classification of an arbitrary frame size into one of those rows.
// Pure functions over a fixed table; no state, any thread.
//
// GetImageWidth and GetImageHeight (exported to the host, declared in
// medley/video_capture.h) read the same table.
#pragma once

#include "medley/host_interfaces.h"
#include "medley/video_capture.h"
#include "platform/wide_text.h"

namespace video {

// Number of rows: values 0 to 15.
constexpr LONG kResolutionCount = 16;

// The name column ("SQCIF", "QCIF", ... "WHD"); empty for a value outside
// 0..15 (negative values included).
platform::OleString ResolutionName(CT_IMAGE_RESOLUTION resolution);

// Classifies a size: the first of these that holds (signed comparisons)
//   w <= 128  or h <= 96   SQCIF      w <= 640  or h <= 480  VGA
//   w <= 160  or h <= 120  QQVGA      w <= 704  or h <= 576  4CIF
//   w <= 176  or h <= 144  QCIF       w <= 800  or h <= 600  SVGA
//   w <= 320  or h <= 240  QVGA       w <= 960  or h <= 720  HD
//   w <= 352  or h <= 288  CIF        w <= 1024 or h <= 768  XGA
//   w <= 1440 and h <= 1080 FULLHD,  w <= 1920 and h <= 1080 WFULLHD,
// anything larger 4CIF. NTSC, WQVGA, WVGA and WHD are never produced.
// E_POINTER when `resolution` is null, else S_OK.
HRESULT ResolutionFromSize(LONG width, LONG height, CT_IMAGE_RESOLUTION* resolution);

}  // namespace video
