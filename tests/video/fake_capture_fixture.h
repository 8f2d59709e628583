// A fixture with fake capture devices and helpers to reach their objects.
// Every test ends with no capture object left alive, so a missing Release
// anywhere fails the test that caused it.
#pragma once

#include <gtest/gtest.h>

#include "medley/video_capture.h"
#include "platform/com_ptr.h"
#include "platform/directshow.h"
#include "platform/fake_video_capture.h"
#include "video/capture_format.h"

namespace video_test {

using platform::ComPtr;

// A YUY2 capability from minSize to maxSize at minFps to maxFps.
inline platform::CaptureCapability Capability(SIZE minSize, SIZE maxSize, LONG minFps,
                                              LONG maxFps) {
  auto interval = [](LONG fps) { return fps > 0 ? LONGLONG{10000000} / fps : 0; };
  return platform::MakeVideoInfoCapability(platform::VideoInfoShape{}, minSize, maxSize, SIZE{8, 8},
                                           interval(maxFps), interval(minFps));
}

inline platform::CaptureCapability Fixed(LONG width, LONG height, LONG fps = 30) {
  return Capability(SIZE{width, height}, SIZE{width, height}, fps, fps);
}

class FakeCaptureTest : public ::testing::Test {
 protected:
  void SetUp() override { liveBefore_ = platform::LiveCaptureObjectCountForTesting(); }
  void TearDown() override {
    EXPECT_EQ(platform::LiveCaptureObjectCountForTesting(), liveBefore_)
        << "capture objects leaked";
  }

  ComPtr<IMoniker> Moniker(size_t index) {
    ComPtr<IMoniker> moniker;
    EXPECT_EQ(GetFirstVideoInputDevice(moniker.Receive()), S_OK);
    for (size_t i = 0; i < index && moniker; ++i) {
      IMoniker* raw = moniker.Detach();
      EXPECT_EQ(GetNextVideoInputDevice(&raw), S_OK);
      moniker = ComPtr<IMoniker>::Adopt(raw);
    }
    return moniker;
  }

  ComPtr<IBaseFilter> Filter(size_t index) {
    ComPtr<IBaseFilter> filter;
    ComPtr<IMoniker> moniker = Moniker(index);
    if (moniker) {
      EXPECT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.ReceiveVoid()),
                S_OK);
    }
    return filter;
  }

  // The capture pin of a device (it keeps its filter alive).
  ComPtr<IPin> CapturePin(size_t index = 0) {
    ComPtr<IPin> pin;
    ComPtr<IBaseFilter> filter = Filter(index);
    if (filter) {
      EXPECT_EQ(video::FindPinByCategory(filter.Get(), &PIN_CATEGORY_CAPTURE, pin.Receive()), S_OK);
    }
    return pin;
  }

  platform::FakeVideoCapture capture_;

 private:
  int liveBefore_ = 0;
};

}  // namespace video_test
