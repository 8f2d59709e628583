#include "video/capture_format.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fake_capture_fixture.h"
#include "platform/trace.h"

namespace video_test {
namespace {

using platform::CaptureCapability;

constexpr HRESULT kAccessDenied = static_cast<HRESULT>(0x80070005u);

// The VIDEOINFOHEADER of a media type handed out by GetMediaType.
const VIDEOINFOHEADER& InfoOf(const AM_MEDIA_TYPE* type) {
  return *reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
}

class CaptureFormatTest : public FakeCaptureTest {
 protected:
  // A device whose capture pin has `capabilities`.
  void AddCamera(std::vector<CaptureCapability> capabilities) {
    capture_.AddDevice(u"Camera", u"usb-1").pins[0].capabilities = std::move(capabilities);
  }

  // GetMediaType on the first device's capture pin; the chosen type's
  // VIDEOINFOHEADER goes to `info`.
  HRESULT Choose(LONG width, LONG height, LONG* rate, VIDEOINFOHEADER* info = nullptr,
                 const GUID* subtype = nullptr) {
    ComPtr<IPin> pin = CapturePin();
    AM_MEDIA_TYPE* type = reinterpret_cast<AM_MEDIA_TYPE*>(0x1);
    HRESULT hr = video::GetMediaType(pin.Get(), width, height, rate, subtype, &type);
    EXPECT_EQ(type != nullptr, hr == S_OK);
    if (type) {
      if (info) *info = InfoOf(type);
      EXPECT_EQ(video::DeleteMediaType(type), S_OK);
    }
    return hr;
  }
};

TEST_F(CaptureFormatTest, FrameRateIsClampedIntoTheCapabilityRangeAndTraced) {
  AddCamera({Capability({160, 120}, {640, 480}, 5, 30)});
  std::vector<std::string> lines, expected;
  platform::ScopedTraceSinkForTesting sink([&](const std::string& line) { lines.push_back(line); });
  const std::string prefix = "CVideoHelper::GetMediaType, ";
  const std::string range =
      prefix + "Min size: 160x120, Max size 640x480, Min FPS: 5, Max FPS: 30\n";
  const struct {
    LONG requested;
    LONG set;
    REFERENCE_TIME interval;
  } cases[] = {
      {0, 30, 333333}, {60, 30, 333333}, {15, 15, 666666},
      {5, 5, 2000000}, {2, 5, 2000000},  {-7, 5, 2000000},
  };
  for (const auto& c : cases) {
    LONG rate = c.requested;
    VIDEOINFOHEADER info = {};
    EXPECT_EQ(Choose(320, 240, &rate, &info), S_OK) << c.requested;
    EXPECT_EQ(rate, c.set) << c.requested;
    EXPECT_EQ(info.AvgTimePerFrame, c.interval) << c.requested;
    EXPECT_EQ(info.bmiHeader.biWidth, 320);
    EXPECT_EQ(info.bmiHeader.biHeight, 240);
    expected.push_back(range);
    expected.push_back(prefix + "Match for 320x240 (" + std::to_string(c.set) + " fps)\n");
  }
  LONG rate = 0;
  EXPECT_EQ(Choose(800, 600, &rate), S_FALSE);
  expected.push_back(range);
  expected.push_back(prefix + "The requested size (800x600) is not supported\n");
  EXPECT_EQ(lines, expected);
}

TEST_F(CaptureFormatTest, ANegativeOrZeroDeviceHeightGivesANegativeHeight) {
  for (LONG deviceHeight : {-480, 0}) {
    platform::FakeVideoCapture capture;
    CaptureCapability capability = Capability({160, 120}, {640, 480}, 5, 30);
    platform::VideoInfoOf(capability)->bmiHeader.biHeight = deviceHeight;
    capture.AddDevice(u"Camera", u"usb-1").pins[0].capabilities = {capability};
    LONG rate = 0;
    VIDEOINFOHEADER info = {};
    EXPECT_EQ(Choose(320, 240, &rate, &info), S_OK);
    EXPECT_EQ(info.bmiHeader.biHeight, -240) << deviceHeight;
    // What the size does not decide stays as the device reported it.
    EXPECT_EQ(info.bmiHeader.biSizeImage, 640u * 480 * 2);
  }
}

TEST_F(CaptureFormatTest, FirstMatchingCapabilityWins) {
  CaptureCapability audio = Fixed(320, 240);
  audio.majorType = CLSID_SystemDeviceEnum;  // anything but video
  CaptureCapability otherFormat = Fixed(320, 240);
  otherFormat.formatType = CLSID_SystemDeviceEnum;
  CaptureCapability shortBlock = Fixed(320, 240);
  shortBlock.format.resize(sizeof(VIDEOINFOHEADER) - 1);
  CaptureCapability mjpg = Fixed(320, 240, 15);
  mjpg.subType = MEDIASUBTYPE_MJPG;
  // Each capability is told apart by its frame rate.
  AddCamera({audio, otherFormat, shortBlock, Fixed(640, 480, 25), mjpg, Fixed(320, 240, 10),
             Capability({100, 100}, {1920, 1080}, 1, 60)});

  const struct {
    LONG width, height;
    const GUID* subtype;
    HRESULT result;
    LONG rate;
  } cases[] = {
      {320, 240, nullptr, S_OK, 15},
      {320, 240, &MEDIASUBTYPE_YUY2, S_OK, 10},
      {320, 240, &MEDIASUBTYPE_RGB24, S_FALSE, 0},
      {640, 480, nullptr, S_OK, 25},
      {1920, 1080, nullptr, S_OK, 60},
      // Below every minimum width, above every maximum width or height.
      {99, 240, nullptr, S_FALSE, 0},
      {1921, 1080, nullptr, S_FALSE, 0},
      {1920, 1081, nullptr, S_FALSE, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    LONG rate = 0;
    EXPECT_EQ(Choose(c.width, c.height, &rate, nullptr, c.subtype), c.result);
    EXPECT_EQ(rate, c.rate);
  }
}

TEST_F(CaptureFormatTest, RateRangeEdges) {
  CaptureCapability swapped = Fixed(320, 240);
  swapped.caps.MinFrameInterval = 2000000;  // 5 fps
  swapped.caps.MaxFrameInterval = 500000;   // 20 fps
  CaptureCapability unknown = Fixed(640, 480);
  unknown.caps.MinFrameInterval = unknown.caps.MaxFrameInterval = 0;
  platform::VideoInfoOf(unknown)->AvgTimePerFrame = 400000;
  AddCamera({swapped, unknown});

  LONG rate = 0;
  VIDEOINFOHEADER info = {};
  EXPECT_EQ(Choose(320, 240, &rate, &info), S_OK);
  EXPECT_EQ(rate, 20);
  EXPECT_EQ(info.AvgTimePerFrame, 500000);
  // No rate range: the rate comes out 0 and the device's interval stays.
  rate = 30;
  EXPECT_EQ(Choose(640, 480, &rate, &info), S_OK);
  EXPECT_EQ(rate, 0);
  EXPECT_EQ(info.AvgTimePerFrame, 400000);
}

TEST_F(CaptureFormatTest, PinFailures) {
  const struct {
    const char* what;
    void (*breakPin)(platform::CapturePinModel&);
    HRESULT result;
  } cases[] = {
      {"no stream config", [](auto& pin) { pin.hasStreamConfig = false; }, E_NOINTERFACE},
      {"count fails", [](auto& pin) { pin.capabilityCountResult = kAccessDenied; }, kAccessDenied},
      {"audio caps", [](auto& pin) { pin.capabilitySize = 52; }, E_FAIL},
      {"caps fail", [](auto& pin) { pin.failingCapability = 1; }, E_FAIL},
  };
  for (const auto& c : cases) {
    platform::FakeVideoCapture capture;
    auto& pin = capture.AddDevice(u"Camera", u"usb-1").pins[0];
    // The second capability would match: the failure comes first.
    pin.capabilities = {Fixed(640, 480), Fixed(320, 240)};
    c.breakPin(pin);
    LONG rate = 0;
    EXPECT_EQ(Choose(320, 240, &rate), c.result) << c.what;
  }
  LONG rate = 0;
  AM_MEDIA_TYPE* type = nullptr;
  EXPECT_EQ(video::GetMediaType(nullptr, 1, 1, &rate, nullptr, &type), E_POINTER);
  EXPECT_EQ(video::GetMediaTypeForResolution(nullptr, CT_IMAGE_RES_VGA, &rate, nullptr, &type),
            E_POINTER);
  EXPECT_EQ(video::DeleteMediaType(nullptr), E_POINTER);
}

// Other rows of the table are seen through CheckImageResolution below.
TEST_F(CaptureFormatTest, FourCifFallsBackToVgaOnlyWhenTheDeviceLacksIt) {
  capture_.AddDevice(u"VGA only", u"usb-1").pins[0].capabilities = {Fixed(640, 480)};
  capture_.AddDevice(u"PAL", u"usb-2").pins[0].capabilities = {Fixed(704, 576), Fixed(640, 480)};
  for (auto [device, size] : {std::pair{0, SIZE{640, 480}}, std::pair{1, SIZE{704, 576}}}) {
    ComPtr<IPin> pin = CapturePin(device);
    LONG rate = 0;
    AM_MEDIA_TYPE* type = nullptr;
    ASSERT_EQ(video::GetMediaTypeForResolution(pin.Get(), CT_IMAGE_RES_4CIF, &rate, nullptr, &type),
              S_OK);
    EXPECT_EQ(InfoOf(type).bmiHeader.biWidth, size.cx);
    EXPECT_EQ(InfoOf(type).bmiHeader.biHeight, size.cy);
    video::DeleteMediaType(type);
  }
}

TEST_F(CaptureFormatTest, FindPinByCategory) {
  auto& device = capture_.AddDevice(u"Camera", u"usb-1");
  device.pins.assign(4, platform::CapturePinModel{});
  device.pins[0].hasPropertySet = false;
  device.pins[1].category = PIN_CATEGORY_PREVIEW;
  device.pins[2].categoryResult = kAccessDenied;
  device.pins[3].name = u"Real capture";
  capture_.AddDevice(u"Broken", u"usb-2").enumPinsResult = kAccessDenied;

  ComPtr<IBaseFilter> filter = Filter(0);
  const struct {
    const GUID* category;
    const char16_t* name;  // null: no pin
  } cases[] = {{&PIN_CATEGORY_CAPTURE, u"Real capture"},
               {&PIN_CATEGORY_PREVIEW, u"Capture"},
               {&MEDIATYPE_Video, nullptr}};
  for (const auto& c : cases) {
    ComPtr<IPin> pin;
    EXPECT_EQ(video::FindPinByCategory(filter.Get(), c.category, pin.Receive()), S_OK);
    ASSERT_EQ(static_cast<bool>(pin), c.name != nullptr);
    if (!pin) continue;
    PIN_INFO info = {};
    EXPECT_EQ(pin->QueryPinInfo(&info), S_OK);
    EXPECT_EQ(platform::OleString(info.achName), c.name);
    info.pFilter->Release();
  }
  IPin* pin = nullptr;  // a pin enumeration failure, then null arguments
  EXPECT_EQ(video::FindPinByCategory(Filter(1).Get(), &PIN_CATEGORY_CAPTURE, &pin), kAccessDenied);
  EXPECT_EQ(video::FindPinByCategory(nullptr, &PIN_CATEGORY_CAPTURE, &pin), E_POINTER);
  EXPECT_EQ(video::FindPinByCategory(filter.Get(), nullptr, &pin), E_POINTER);
  EXPECT_EQ(video::FindPinByCategory(filter.Get(), &PIN_CATEGORY_CAPTURE, nullptr), E_POINTER);
}

// What a device without a capture pin answers, and which sizes a capture
// range allows with all sizes allowed, the devices command tests show.
TEST_F(CaptureFormatTest, CheckImageResolution) {
  capture_.AddDevice(u"VGA only", u"usb-1").pins[0].capabilities = {
      Capability({160, 120}, {640, 480}, 5, 30)};
  capture_.AddDevice(u"Unbindable", u"usb-2").bindFilterResult = kAccessDenied;
  const struct {
    int device;  // -1: null moniker
    LONG allowAllSizes;
    CT_IMAGE_RESOLUTION resolution;
    HRESULT result;
    bool supported;
  } cases[] = {
      {0, 0, CT_IMAGE_RES_VGA, S_OK, true},
      {0, 0, CT_IMAGE_RES_SUBQCIF, S_OK, false},
      {0, 0, CT_IMAGE_RES_4CIF, S_OK, false},
      {0, -1, CT_IMAGE_RES_4CIF, S_OK, true},
      {0, 1, static_cast<CT_IMAGE_RESOLUTION>(-1), S_OK, false},
      {-1, 0, CT_IMAGE_RES_SUBQCIF, S_OK, false},
      {-1, 1, CT_IMAGE_RES_VGA, S_OK, false},
      {1, 1, CT_IMAGE_RES_VGA, kAccessDenied, false},
      // Small sizes refused on the flag alone: the unbindable device is not opened.
      {1, 0, CT_IMAGE_RES_4CIF, S_OK, false},
  };
  for (const auto& c : cases) {
    ComPtr<IMoniker> device = c.device >= 0 ? Moniker(static_cast<size_t>(c.device)) : nullptr;
    bool supported = !c.supported;
    EXPECT_EQ(CheckImageResolution(device.Get(), c.allowAllSizes, c.resolution, &supported),
              c.result)
        << c.device << " " << c.allowAllSizes << " " << c.resolution;
    EXPECT_EQ(supported, c.supported) << c.device << " " << c.resolution;
  }
  EXPECT_EQ(CheckImageResolution(nullptr, 1, CT_IMAGE_RES_VGA, nullptr), E_POINTER);
}

TEST(DeleteMediaType, FreesTheFormatBlockAndReleasesTheObject) {
  // An object that counts its references.
  struct Counted : IUnknown {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    ULONG references = 1;
  } object;
  auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  *type = AM_MEDIA_TYPE{};
  type->cbFormat = 16;
  type->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(16));
  type->pUnk = &object;
  EXPECT_EQ(video::DeleteMediaType(type), S_OK);  // a leak or double free shows under ASan
  EXPECT_EQ(object.references, 0u);
}

}  // namespace
}  // namespace video_test
