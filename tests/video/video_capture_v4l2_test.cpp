#include "platform/video_capture_v4l2.h"

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/wide_text.h"
#include "tests/support/temp_folder.h"

namespace video_test {
namespace {

using platform::WideToNarrow;

// A V4L2 device answering from tables, for DescribeV4l2Device.
struct ScriptedDevice {
  struct Format {
    std::uint32_t pixelFormat;
    std::vector<v4l2_frmsizeenum> sizes;
    // Frame intervals by width; the same for every height.
    std::map<std::uint32_t, std::vector<v4l2_frmivalenum>> intervals;
  };

  v4l2_capability capability = {};
  std::vector<Format> formats;

  int operator()(unsigned long request, void* argument) const {
    switch (request) {
      case VIDIOC_QUERYCAP:
        *static_cast<v4l2_capability*>(argument) = capability;
        return 0;
      case VIDIOC_ENUM_FMT: {
        auto* format = static_cast<v4l2_fmtdesc*>(argument);
        if (format->index >= formats.size()) return -1;
        format->pixelformat = formats[format->index].pixelFormat;
        return 0;
      }
      case VIDIOC_ENUM_FRAMESIZES: {
        auto* size = static_cast<v4l2_frmsizeenum*>(argument);
        const Format* format = Find(size->pixel_format);
        return format ? Answer(size, format->sizes) : -1;
      }
      case VIDIOC_ENUM_FRAMEINTERVALS: {
        auto* interval = static_cast<v4l2_frmivalenum*>(argument);
        const Format* format = Find(interval->pixel_format);
        if (!format || !format->intervals.count(interval->width)) return -1;
        return Answer(interval, format->intervals.at(interval->width));
      }
    }
    return -1;
  }

  // The entry at the request's index, or -1 past the end, as the driver answers.
  template <class Entry>
  static int Answer(Entry* request, const std::vector<Entry>& entries) {
    if (request->index >= entries.size()) return -1;
    *request = entries[request->index];
    return 0;
  }

  const Format* Find(std::uint32_t pixelFormat) const {
    for (const Format& format : formats)
      if (format.pixelFormat == pixelFormat) return &format;
    return nullptr;
  }
};

v4l2_frmsizeenum DiscreteSize(std::uint32_t width, std::uint32_t height) {
  v4l2_frmsizeenum size = {};
  size.type = V4L2_FRMSIZE_TYPE_DISCRETE;
  size.discrete = {width, height};
  return size;
}

v4l2_frmivalenum DiscreteInterval(std::uint32_t numerator, std::uint32_t denominator) {
  v4l2_frmivalenum interval = {};
  interval.type = V4L2_FRMIVAL_TYPE_DISCRETE;
  interval.discrete = {numerator, denominator};
  return interval;
}

ScriptedDevice Webcam() {
  ScriptedDevice device;
  std::strcpy(reinterpret_cast<char*>(device.capability.card), "HD Webcam");
  std::strcpy(reinterpret_cast<char*>(device.capability.driver), "uvcvideo");
  std::strcpy(reinterpret_cast<char*>(device.capability.bus_info), "usb-0000:00:14.0-1");
  device.capability.capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_DEVICE_CAPS;
  device.capability.device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;

  ScriptedDevice::Format yuyv{
      V4L2_PIX_FMT_YUYV, {DiscreteSize(640, 480), DiscreteSize(320, 240)}, {}};
  yuyv.intervals[640] = {DiscreteInterval(1, 15), DiscreteInterval(1, 30)};
  yuyv.intervals[320] = {DiscreteInterval(1, 30)};

  v4l2_frmsizeenum range = {};
  range.type = V4L2_FRMSIZE_TYPE_STEPWISE;
  range.stepwise = {160, 1280, 16, 120, 720, 8};
  v4l2_frmivalenum rates = {};
  rates.type = V4L2_FRMIVAL_TYPE_CONTINUOUS;
  rates.stepwise = {{1, 60}, {1, 5}, {1, 1}};
  ScriptedDevice::Format mjpg{V4L2_PIX_FMT_MJPEG, {range}, {{1280, {rates}}}};

  ScriptedDevice::Format bgr{V4L2_PIX_FMT_BGR24, {DiscreteSize(176, 144)}, {}};
  device.formats = {yuyv, mjpg, bgr};
  return device;
}

// The capabilities are built as the fake devices' are, so what GetMediaType
// makes of them is covered by the capture format tests.
TEST(V4l2Backend, DescribesPropertiesAndCapabilities) {
  platform::CaptureDeviceModel model;
  ASSERT_EQ(platform::DescribeV4l2Device(Webcam(), &model), S_OK);
  EXPECT_EQ(WideToNarrow(*model.friendlyName), "HD Webcam");
  EXPECT_EQ(WideToNarrow(*model.devicePath), "uvcvideo:usb-0000:00:14.0-1");
  ASSERT_EQ(model.pins.size(), 1u);
  EXPECT_EQ(model.pins[0].category, PIN_CATEGORY_CAPTURE);

  // Sizes min-max, frame intervals shortest-longest, then the format block's
  // width, height, bit count and interval.
  const struct {
    GUID subtype;
    const char* shape;
  } expected[] = {
      {MEDIASUBTYPE_YUY2, "640x480-640x480 333333-666666 | 640x480 16bit 333333"},
      {MEDIASUBTYPE_YUY2, "320x240-320x240 333333-333333 | 320x240 16bit 333333"},
      {MEDIASUBTYPE_MJPG, "160x120-1280x720 166666-2000000 | 1280x720 24bit 166666"},
      // No frame intervals known; RGB rows run top-down.
      {MEDIASUBTYPE_RGB24, "176x144-176x144 0-0 | 176x-144 24bit 0"},
  };
  auto& capabilities = model.pins[0].capabilities;
  ASSERT_EQ(capabilities.size(), std::size(expected));
  for (size_t i = 0; i < capabilities.size(); ++i) {
    const VIDEO_STREAM_CONFIG_CAPS& caps = capabilities[i].caps;
    const VIDEOINFOHEADER* info = platform::VideoInfoOf(capabilities[i]);
    ASSERT_NE(info, nullptr);
    char shape[128];
    std::snprintf(shape, sizeof shape, "%ldx%ld-%ldx%ld %lld-%lld | %ldx%ld %dbit %lld",
                  long{caps.MinOutputSize.cx}, long{caps.MinOutputSize.cy},
                  long{caps.MaxOutputSize.cx}, long{caps.MaxOutputSize.cy},
                  static_cast<long long>(caps.MinFrameInterval),
                  static_cast<long long>(caps.MaxFrameInterval), long{info->bmiHeader.biWidth},
                  long{info->bmiHeader.biHeight}, int{info->bmiHeader.biBitCount},
                  static_cast<long long>(info->AvgTimePerFrame));
    EXPECT_EQ(capabilities[i].subType, expected[i].subtype) << i;
    EXPECT_EQ(std::string(shape), expected[i].shape) << i;
  }
}

TEST(V4l2Backend, OnlyVideoCaptureNodesAreDevices) {
  const struct {
    const char* what;
    std::uint32_t capabilities;
    std::uint32_t deviceCaps;
    HRESULT result;
  } cases[] = {
      {"capture", V4L2_CAP_VIDEO_CAPTURE, 0, S_OK},
      {"multi-planar capture", V4L2_CAP_VIDEO_CAPTURE_MPLANE, 0, S_OK},
      {"output", V4L2_CAP_VIDEO_OUTPUT, 0, S_FALSE},
      // The node's own capabilities count, not the whole device's.
      {"metadata node", V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_DEVICE_CAPS, V4L2_CAP_META_CAPTURE,
       S_FALSE},
  };
  for (const auto& c : cases) {
    ScriptedDevice device = Webcam();
    device.capability.capabilities = c.capabilities;
    device.capability.device_caps = c.deviceCaps;
    platform::CaptureDeviceModel model;
    EXPECT_EQ(platform::DescribeV4l2Device(device, &model), c.result) << c.what;
  }
  platform::CaptureDeviceModel model;
  EXPECT_EQ(platform::DescribeV4l2Device([](unsigned long, void*) { return -1; }, &model), S_FALSE);
}

// Known formats and whole-second intervals are seen in DescribesPropertiesAndCapabilities.
TEST(V4l2Backend, IntervalsAndPixelFormats) {
  EXPECT_EQ(platform::IntervalFromFraction(1001, 30000), 333666);  // rounded down
  EXPECT_EQ(platform::IntervalFromFraction(2, 1), 20000000);
  EXPECT_EQ(platform::IntervalFromFraction(1, 0), 0);
  // A format without a DirectShow equivalent gets its FOURCC subtype.
  platform::VideoInfoShape unknown = platform::ShapeForPixelFormat(v4l2_fourcc('Z', 'Z', 'Z', '9'));
  EXPECT_EQ(unknown.subType, (GUID{v4l2_fourcc('Z', 'Z', 'Z', '9'),
                                   0x0000,
                                   0x0010,
                                   {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}}));
  EXPECT_EQ(unknown.bitCount, 0);
}

TEST(V4l2Backend, DirectoriesWithoutCamerasHaveNoDevices) {
  test_support::TempFolder folder("medley-v4l2");
  ASSERT_FALSE(folder.Path().empty());
  const std::string& directory = folder.Path();
  // Entries that look like nodes but are not devices are passed over.
  for (const char* name : {"video0", "video1x", "video"})
    std::ofstream(directory + "/" + name) << "x";
  for (const std::string& listed : {directory, directory + "/missing"}) {
    platform::CaptureDeviceList devices;
    EXPECT_EQ(platform::V4l2VideoCapture(listed).ListDevices(&devices), S_OK) << listed;
    EXPECT_TRUE(devices.empty()) << listed;
  }
  // Whatever this machine has, listing it succeeds.
  platform::CaptureDeviceList devices;
  EXPECT_EQ(platform::V4l2VideoCapture().ListDevices(&devices), S_OK);
}

}  // namespace
}  // namespace video_test
