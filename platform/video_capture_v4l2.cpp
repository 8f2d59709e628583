#include "platform/video_capture_v4l2.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

namespace platform {
namespace {

constexpr LONGLONG kUnitsPerSecond = 10000000;

GUID FourccSubtype(std::uint32_t fourcc) {
  return GUID{fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

constexpr std::uint32_t Fourcc(char a, char b, char c, char d) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24;
}

// The text of a fixed-size, possibly unterminated field.
template <size_t N>
std::string FieldText(const __u8 (&field)[N]) {
  const char* text = reinterpret_cast<const char*>(field);
  return std::string(text, strnlen(text, N));
}

struct IntervalRange {
  LONGLONG shortest = 0;
  LONGLONG longest = 0;
};

// The frame interval range of one size; 0..0 when the driver does not say.
IntervalRange IntervalsOf(const V4l2Control& control, std::uint32_t pixelFormat,
                          std::uint32_t width, std::uint32_t height) {
  IntervalRange range;
  bool any = false;
  for (std::uint32_t index = 0; index < 256; ++index) {
    v4l2_frmivalenum interval = {};
    interval.index = index;
    interval.pixel_format = pixelFormat;
    interval.width = width;
    interval.height = height;
    if (control(VIDIOC_ENUM_FRAMEINTERVALS, &interval) != 0) break;
    LONGLONG shortest = 0;
    LONGLONG longest = 0;
    if (interval.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
      shortest = longest =
          IntervalFromFraction(interval.discrete.numerator, interval.discrete.denominator);
    } else {
      shortest =
          IntervalFromFraction(interval.stepwise.min.numerator, interval.stepwise.min.denominator);
      longest =
          IntervalFromFraction(interval.stepwise.max.numerator, interval.stepwise.max.denominator);
    }
    range.shortest = any ? std::min(range.shortest, shortest) : shortest;
    range.longest = any ? std::max(range.longest, longest) : longest;
    any = true;
    if (interval.type != V4L2_FRMIVAL_TYPE_DISCRETE) break;
  }
  return range;
}

SIZE SizeOf(std::uint32_t width, std::uint32_t height) {
  return SIZE{static_cast<LONG>(width), static_cast<LONG>(height)};
}

void AddCapabilitiesOfFormat(const V4l2Control& control, std::uint32_t pixelFormat,
                             CapturePinModel* pin) {
  VideoInfoShape shape = ShapeForPixelFormat(pixelFormat);
  for (std::uint32_t index = 0; index < 1024; ++index) {
    v4l2_frmsizeenum size = {};
    size.index = index;
    size.pixel_format = pixelFormat;
    if (control(VIDIOC_ENUM_FRAMESIZES, &size) != 0) break;
    if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
      SIZE exact = SizeOf(size.discrete.width, size.discrete.height);
      IntervalRange range =
          IntervalsOf(control, pixelFormat, size.discrete.width, size.discrete.height);
      pin->capabilities.push_back(
          MakeVideoInfoCapability(shape, exact, exact, SIZE{0, 0}, range.shortest, range.longest));
      continue;
    }
    // A stepwise or continuous range is reported once; its rates are those
    // of the largest size.
    const v4l2_frmsize_stepwise& steps = size.stepwise;
    IntervalRange range = IntervalsOf(control, pixelFormat, steps.max_width, steps.max_height);
    pin->capabilities.push_back(MakeVideoInfoCapability(
        shape, SizeOf(steps.min_width, steps.min_height), SizeOf(steps.max_width, steps.max_height),
        SizeOf(steps.step_width, steps.step_height), range.shortest, range.longest));
    break;
  }
}

int RetryingIoctl(int fd, unsigned long request, void* argument) {
  int result;
  do {
    result = ioctl(fd, request, argument);
  } while (result == -1 && errno == EINTR);
  return result == -1 ? -1 : 0;
}

// The node numbers of the "videoN" entries of `directory`, ascending.
std::vector<int> VideoNodeNumbers(const std::string& directory) {
  std::vector<int> numbers;
  DIR* listing = opendir(directory.c_str());
  if (!listing) return numbers;
  while (const dirent* entry = readdir(listing)) {
    const char* name = entry->d_name;
    if (std::strncmp(name, "video", 5) != 0 || name[5] == '\0') continue;
    bool digits = std::all_of(name + 5, name + std::strlen(name),
                              [](char c) { return c >= '0' && c <= '9'; });
    if (digits && std::strlen(name + 5) < 9) numbers.push_back(std::atoi(name + 5));
  }
  closedir(listing);
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

}  // namespace

LONGLONG IntervalFromFraction(std::uint32_t numerator, std::uint32_t denominator) {
  if (denominator == 0) return 0;
  return static_cast<LONGLONG>(numerator) * kUnitsPerSecond / denominator;
}

VideoInfoShape ShapeForPixelFormat(std::uint32_t pixelFormat) {
  struct Known {
    std::uint32_t pixelFormat;
    VideoInfoShape shape;
  };
  // DirectShow's RGB is stored blue first; V4L2 rows always run top-down.
  static const Known kKnown[] = {
      {V4L2_PIX_FMT_YUYV, {MEDIASUBTYPE_YUY2, Fourcc('Y', 'U', 'Y', '2'), 16, false}},
      {V4L2_PIX_FMT_UYVY,
       {FourccSubtype(Fourcc('U', 'Y', 'V', 'Y')), Fourcc('U', 'Y', 'V', 'Y'), 16, false}},
      {V4L2_PIX_FMT_MJPEG, {MEDIASUBTYPE_MJPG, Fourcc('M', 'J', 'P', 'G'), 24, false}},
      {V4L2_PIX_FMT_JPEG, {MEDIASUBTYPE_MJPG, Fourcc('M', 'J', 'P', 'G'), 24, false}},
      {V4L2_PIX_FMT_NV12, {MEDIASUBTYPE_NV12, Fourcc('N', 'V', '1', '2'), 12, false}},
      {V4L2_PIX_FMT_YUV420,
       {FourccSubtype(Fourcc('I', '4', '2', '0')), Fourcc('I', '4', '2', '0'), 12, false}},
      {V4L2_PIX_FMT_YVU420,
       {FourccSubtype(Fourcc('Y', 'V', '1', '2')), Fourcc('Y', 'V', '1', '2'), 12, false}},
      {V4L2_PIX_FMT_BGR24, {MEDIASUBTYPE_RGB24, BI_RGB, 24, true}},
      {V4L2_PIX_FMT_BGR32, {MEDIASUBTYPE_RGB32, BI_RGB, 32, true}},
      {V4L2_PIX_FMT_XBGR32, {MEDIASUBTYPE_RGB32, BI_RGB, 32, true}},
  };
  for (const Known& known : kKnown)
    if (known.pixelFormat == pixelFormat) return known.shape;
  return VideoInfoShape{FourccSubtype(pixelFormat), pixelFormat, 0, false};
}

HRESULT DescribeV4l2Device(const V4l2Control& control, CaptureDeviceModel* model) {
  if (!model) return E_POINTER;
  v4l2_capability capability = {};
  if (control(VIDIOC_QUERYCAP, &capability) != 0) return S_FALSE;
  std::uint32_t caps = (capability.capabilities & V4L2_CAP_DEVICE_CAPS) ? capability.device_caps
                                                                        : capability.capabilities;
  std::uint32_t bufferType;
  if (caps & V4L2_CAP_VIDEO_CAPTURE)
    bufferType = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  else if (caps & V4L2_CAP_VIDEO_CAPTURE_MPLANE)
    bufferType = V4L2_BUF_TYPE_VIDEO_CAPTURE_MPLANE;
  else
    return S_FALSE;

  model->friendlyName = NarrowToWide(FieldText(capability.card));
  model->devicePath =
      NarrowToWide(FieldText(capability.driver) + ":" + FieldText(capability.bus_info));

  CapturePinModel pin;
  for (std::uint32_t index = 0; index < 256; ++index) {
    v4l2_fmtdesc format = {};
    format.index = index;
    format.type = bufferType;
    if (control(VIDIOC_ENUM_FMT, &format) != 0) break;
    AddCapabilitiesOfFormat(control, format.pixelformat, &pin);
  }
  model->pins.clear();
  model->pins.push_back(std::move(pin));
  return S_OK;
}

V4l2VideoCapture::V4l2VideoCapture(std::string directory) : directory_(std::move(directory)) {}

HRESULT V4l2VideoCapture::ListDevices(CaptureDeviceList* devices) {
  if (!devices) return E_POINTER;
  devices->clear();
  std::map<OleString, int> pathUses;
  for (int number : VideoNodeNumbers(directory_)) {
    std::string node = directory_ + "/video" + std::to_string(number);
    int fd = open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;  // gone, or not ours to open
    auto model = std::make_shared<CaptureDeviceModel>();
    HRESULT hr =
        DescribeV4l2Device([fd](unsigned long request,
                                void* argument) { return RetryingIoctl(fd, request, argument); },
                           model.get());
    close(fd);
    if (hr != S_OK) continue;
    // Several capture nodes of one device share its bus information.
    int uses = ++pathUses[*model->devicePath];
    if (uses > 1) {
      model->devicePath->push_back(u'#');
      model->devicePath->append(NarrowToWide(std::to_string(uses)));
    }
    model->identity = node + "|" + WideToNarrow(*model->devicePath);
    devices->push_back(std::move(model));
  }
  return S_OK;
}

}  // namespace platform
