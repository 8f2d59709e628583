#include "host/network_settings.h"

namespace host {

bool IsImageResolution(LONG value) { return value >= 0 && value < kImageResolutionCount; }

bool IsTransportType(LONG value) {
  switch (value) {
    case CT_TRANSPORT_NONE:
    case CT_TRANSPORT_UDP:
    case CT_TRANSPORT_TCP:
    case CT_TRANSPORT_TLS:
    case CT_TRANSPORT_SCTP:
    case CT_TRANSPORT_UNSUPPORTED:
      return true;
    default:
      return false;
  }
}

bool IsConnectionType(LONG value) {
  switch (value) {
    case CT_CONNECTION_TYPE_2048_KBPS:
    case CT_CONNECTION_TYPE_1024_KBPS:
    case CT_CONNECTION_TYPE_512_KBPS:
    case CT_CONNECTION_TYPE_256_KBPS:
    case CT_CONNECTION_TYPE_128_KBPS:
    case CT_CONNECTION_TYPE_64_KBPS:
      return true;
    default:
      return false;
  }
}

VideoParameters DefaultVideoParameters(CT_IMAGE_RESOLUTION resolution) {
  struct Row {
    bool enabled;
    LONG bit_rate;
    LONG frame_rate;
  };
  // Indexed by CT_IMAGE_RESOLUTION.
  static constexpr Row kRows[kImageResolutionCount] = {
      {false, 64, 15},    // SUBQCIF
      {true, 128, 30},    // QCIF
      {true, 384, 30},    // CIF
      {false, 1024, 30},  // 4CIF
      {false, 64, 15},    // QQVGA
      {true, 256, 30},    // QVGA
      {true, 768, 30},    // VGA
      {false, 1024, 30},  // SVGA
      {false, 1536, 30},  // HD
      {false, 1536, 30},  // XGA
      {false, 2048, 30},  // FULL_HD
      {false, 2048, 30},  // WIDE_FULL_HD
      {false, 1024, 30},  // NTSC
      {false, 384, 30},   // WQVGA
      {false, 1024, 30},  // WVGA
      {false, 1536, 30},  // WHD
  };
  if (!IsImageResolution(resolution)) return {};
  const Row& row = kRows[resolution];
  VideoParameters parameters;
  parameters.enabled = row.enabled ? VARIANT_TRUE : VARIANT_FALSE;
  parameters.bit_rate = row.bit_rate;
  parameters.frame_rate = row.frame_rate;
  parameters.intra_frame_frequency = row.frame_rate * 10;
  return parameters;
}

std::array<VideoParameters, kImageResolutionCount> DefaultVideoParameterTable() {
  std::array<VideoParameters, kImageResolutionCount> table;
  for (int i = 0; i < kImageResolutionCount; ++i)
    table[i] = DefaultVideoParameters(static_cast<CT_IMAGE_RESOLUTION>(i));
  return table;
}

}  // namespace host
