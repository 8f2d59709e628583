#include "platform/video_capture_backend.h"

#include <atomic>
#include <cstring>

#include "platform/video_capture_v4l2.h"

namespace platform {
namespace {

std::atomic<VideoCaptureBackend*> installed_backend{nullptr};

}  // namespace

CaptureCapability MakeVideoInfoCapability(const VideoInfoShape& shape, SIZE minSize, SIZE maxSize,
                                          SIZE step, LONGLONG minInterval, LONGLONG maxInterval) {
  CaptureCapability capability;
  capability.subType = shape.subType;
  capability.formatType = FORMAT_VideoInfo;
  capability.format.assign(sizeof(VIDEOINFOHEADER), 0);

  auto bytes = [&](SIZE size) {
    return static_cast<LONGLONG>(size.cx) * size.cy * shape.bitCount / 8;
  };
  auto bitsPerSecond = [&](SIZE size, LONGLONG interval) {
    LONGLONG bits = interval > 0 ? bytes(size) * 8 * 10000000 / interval : 0;
    return static_cast<LONG>(bits > 0x7FFFFFFF ? 0x7FFFFFFF : bits);
  };

  VIDEOINFOHEADER info = {};
  info.AvgTimePerFrame = minInterval;
  info.dwBitRate = static_cast<DWORD>(bitsPerSecond(maxSize, minInterval));
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = maxSize.cx;
  info.bmiHeader.biHeight = shape.topDown ? -maxSize.cy : maxSize.cy;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = shape.bitCount;
  info.bmiHeader.biCompression = shape.compression;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(bytes(maxSize));
  std::memcpy(capability.format.data(), &info, sizeof info);
  capability.sampleSize = info.bmiHeader.biSizeImage;

  VIDEO_STREAM_CONFIG_CAPS& caps = capability.caps;
  caps.guid = FORMAT_VideoInfo;
  caps.InputSize = maxSize;
  caps.MinCroppingSize = minSize;
  caps.MaxCroppingSize = maxSize;
  caps.CropGranularityX = step.cx;
  caps.CropGranularityY = step.cy;
  caps.CropAlignX = 1;
  caps.CropAlignY = 1;
  caps.MinOutputSize = minSize;
  caps.MaxOutputSize = maxSize;
  caps.OutputGranularityX = step.cx;
  caps.OutputGranularityY = step.cy;
  caps.MinFrameInterval = minInterval;
  caps.MaxFrameInterval = maxInterval;
  caps.MinBitsPerSecond = bitsPerSecond(minSize, maxInterval);
  caps.MaxBitsPerSecond = bitsPerSecond(maxSize, minInterval);
  return capability;
}

VIDEOINFOHEADER* VideoInfoOf(CaptureCapability& capability) {
  if (capability.format.size() < sizeof(VIDEOINFOHEADER)) return nullptr;
  return reinterpret_cast<VIDEOINFOHEADER*>(capability.format.data());
}

VideoCaptureBackend& CurrentVideoCaptureBackend() {
  if (VideoCaptureBackend* backend = installed_backend.load()) return *backend;
  static V4l2VideoCapture system_backend;
  return system_backend;
}

ScopedVideoCaptureBackendForTesting::ScopedVideoCaptureBackendForTesting(
    VideoCaptureBackend* backend)
    : previous_(installed_backend.exchange(backend)) {}

ScopedVideoCaptureBackendForTesting::~ScopedVideoCaptureBackendForTesting() {
  installed_backend.store(previous_);
}

}  // namespace platform
