#include "platform/video_capture_v4l2.h"

#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "fake_capture_fixture.h"
#include "platform/wide_text.h"

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
        if (!format || size->index >= format->sizes.size()) return -1;
        *size = format->sizes[size->index];
        return 0;
      }
      case VIDIOC_ENUM_FRAMEINTERVALS: {
        auto* interval = static_cast<v4l2_frmivalenum*>(argument);
        const Format* format = Find(interval->pixel_format);
        if (!format || !format->intervals.count(interval->width)) return -1;
        const auto& list = format->intervals.at(interval->width);
        if (interval->index >= list.size()) return -1;
        *interval = list[interval->index];
        return 0;
      }
    }
    return -1;
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
                  long{caps.MinOutputSize.cx}, long{caps.MinOutputSize.cy}, long{caps.MaxOutputSize.cx},
                  long{caps.MaxOutputSize.cy}, static_cast<long long>(caps.MinFrameInterval),
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

TEST(V4l2Backend, IntervalsAndPixelFormats) {
  EXPECT_EQ(platform::IntervalFromFraction(1, 30), 333333);
  EXPECT_EQ(platform::IntervalFromFraction(1001, 30000), 333666);
  EXPECT_EQ(platform::IntervalFromFraction(2, 1), 20000000);
  EXPECT_EQ(platform::IntervalFromFraction(1, 0), 0);

  platform::VideoInfoShape unknown = platform::ShapeForPixelFormat(v4l2_fourcc('Z', 'Z', 'Z', '9'));
  EXPECT_EQ(unknown.subType.Data1, v4l2_fourcc('Z', 'Z', 'Z', '9'));
  EXPECT_EQ(unknown.subType.Data2, 0x0000);
  EXPECT_EQ(unknown.subType.Data3, 0x0010);
  EXPECT_EQ(unknown.bitCount, 0);
  EXPECT_EQ(platform::ShapeForPixelFormat(V4L2_PIX_FMT_NV12).subType, MEDIASUBTYPE_NV12);
}

TEST(V4l2Backend, DirectoriesWithoutCamerasHaveNoDevices) {
  char pattern[] = "/tmp/medley-v4l2-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string directory = pattern;
  platform::CaptureDeviceList devices;
  EXPECT_EQ(platform::V4l2VideoCapture(directory).ListDevices(&devices), S_OK);
  EXPECT_TRUE(devices.empty());
  // Entries that look like nodes but are not devices are passed over.
  for (const char* name : {"video0", "video1x", "video"})
    std::ofstream(directory + "/" + name) << "x";
  EXPECT_EQ(platform::V4l2VideoCapture(directory).ListDevices(&devices), S_OK);
  EXPECT_TRUE(devices.empty());
  EXPECT_EQ(platform::V4l2VideoCapture(directory + "/missing").ListDevices(&devices), S_OK);
  EXPECT_TRUE(devices.empty());
  for (const char* name : {"video0", "video1x", "video"}) unlink((directory + "/" + name).c_str());
  rmdir(pattern);
  // Whatever this machine has, listing it succeeds.
  EXPECT_EQ(platform::V4l2VideoCapture().ListDevices(&devices), S_OK);
}

class V4l2DescribedDeviceTest : public FakeCaptureTest {};

TEST_F(V4l2DescribedDeviceTest, CapabilitiesAnswerResolutionChecks) {
  platform::CaptureDeviceModel described;
  ASSERT_EQ(platform::DescribeV4l2Device(Webcam(), &described), S_OK);
  capture_.AddDevice(u"HD Webcam", u"usb-1").pins = described.pins;
  const struct {
    CT_IMAGE_RESOLUTION resolution;
    bool supported;
  } cases[] = {
      {CT_IMAGE_RES_VGA, true},  {CT_IMAGE_RES_QVGA, true},          {CT_IMAGE_RES_HD, true},
      {CT_IMAGE_RES_WHD, true},  {CT_IMAGE_RES_QCIF, true},          {CT_IMAGE_RES_XGA, false},
      {CT_IMAGE_RES_4CIF, true}, {CT_IMAGE_RES_WIDE_FULL_HD, false},
  };
  ComPtr<IMoniker> device = Moniker(0);
  for (const auto& c : cases) {
    bool supported = !c.supported;
    EXPECT_EQ(CheckImageResolution(device.Get(), 1, c.resolution, &supported), S_OK);
    EXPECT_EQ(supported, c.supported) << c.resolution;
  }
}

}  // namespace
}  // namespace video_test
