// The capture backend over Video4Linux2: every /dev/videoN node that can
// capture video is a video input device. "FriendlyName" is the card name,
// "DevicePath" the driver and bus information ("uvcvideo:usb-0000:00:14.0-1"),
// which stays the same across reboots and renumbering. The one pin,
// "Capture", has a stream capability per pixel format and frame size
// (ENUM_FMT, ENUM_FRAMESIZES), with the frame interval range of that size
// (ENUM_FRAMEINTERVALS). A machine without cameras has no devices.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/video_capture_backend.h"

namespace platform {

// Issues one V4L2 ioctl: 0 on success, -1 on failure.
using V4l2Control = std::function<int(unsigned long request, void* argument)>;

// Describes the device behind `control`: properties (the device path
// without a duplicate suffix) and the capture pin. S_FALSE when the node
// cannot capture video (or does not answer VIDIOC_QUERYCAP); the model is
// then incomplete.
HRESULT DescribeV4l2Device(const V4l2Control& control, CaptureDeviceModel* model);

// The DirectShow picture description of a V4L2 pixel format. Formats
// without a DirectShow equivalent get the FOURCC subtype and a bit count
// of 0.
VideoInfoShape ShapeForPixelFormat(std::uint32_t pixelFormat);

// numerator/denominator seconds in 100-nanosecond units (rounded down);
// 0 for a zero denominator.
LONGLONG IntervalFromFraction(std::uint32_t numerator, std::uint32_t denominator);

class V4l2VideoCapture : public VideoCaptureBackend {
 public:
  // Looks for video nodes in `directory`.
  explicit V4l2VideoCapture(std::string directory = "/dev");

  // Devices in node number order; S_OK with none when nothing can capture.
  HRESULT ListDevices(CaptureDeviceList* devices) override;

 private:
  std::string directory_;
};

}  // namespace platform
