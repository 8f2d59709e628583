#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fake_capture_fixture.h"
#include "medley/video_capture.h"
#include "platform/wide_text.h"

namespace video_test {
namespace {

using platform::AsciiToWide;
using platform::OleString;
using platform::WideToNarrow;

constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070002u);
constexpr HRESULT kAccessDenied = static_cast<HRESULT>(0x80070005u);

class VideoDevicesTest : public FakeCaptureTest {
 protected:
  void AddThree() {
    capture_.AddDevice(u"Front camera", u"usb-1");
    capture_.AddDevice(u"Rear camera", u"usb-2");
    capture_.AddDevice(u"Capture card", u"pci-3");
  }

  std::string NameOf(IMoniker* device) {
    OLECHAR name[kVideoDeviceTextCapacity];
    EXPECT_EQ(GetMonikerFriendlyName(device, name), S_OK);
    return WideToNarrow(name);
  }

  // Friendly names visited by GetFirst / GetNext until the moniker is null.
  std::string Walk() {
    std::string names;
    IMoniker* device = nullptr;
    EXPECT_EQ(GetFirstVideoInputDevice(&device), S_OK);
    for (int guard = 0; device && guard < 10; ++guard) {
      names += NameOf(device) + ";";
      EXPECT_EQ(GetNextVideoInputDevice(&device), S_OK);
    }
    return names;
  }

  // GetFirst and Find by path both answer `expected` and clear the out-pointer.
  void ExpectNoDeviceFound(HRESULT expected) {
    IMoniker* device = reinterpret_cast<IMoniker*>(0x1);
    EXPECT_EQ(GetFirstVideoInputDevice(&device), expected);
    EXPECT_EQ(device, nullptr);
    device = reinterpret_cast<IMoniker*>(0x1);
    EXPECT_EQ(FindVideoInputDeviceByDevicePath(u"", &device), expected);
    EXPECT_EQ(device, nullptr);
  }
};

TEST_F(VideoDevicesTest, NoDevicesIsNotAFailureAndNullOutPointersAre) {
  ExpectNoDeviceFound(S_OK);
  EXPECT_EQ(GetFirstVideoInputDevice(nullptr), E_POINTER);
  EXPECT_EQ(GetNextVideoInputDevice(nullptr), E_POINTER);
  EXPECT_EQ(FindVideoInputDeviceByDevicePath(u"usb-1", nullptr), E_POINTER);
}

TEST_F(VideoDevicesTest, IterationVisitsEveryDeviceOnceInOrder) {
  AddThree();
  EXPECT_EQ(Walk(), "Front camera;Rear camera;Capture card;");
  ComPtr<IMoniker> rear = Moniker(1);
  capture_.RemoveDevice(0);
  EXPECT_EQ(Walk(), "Rear camera;Capture card;");
  // Next after a device that went away is null.
  capture_.RemoveDevice(0);
  IMoniker* device = rear.Detach();
  EXPECT_EQ(GetNextVideoInputDevice(&device), S_OK);
  EXPECT_EQ(device, nullptr);
}

TEST_F(VideoDevicesTest, CategoryFailuresAreReturned) {
  AddThree();
  for (auto [create, list] : {std::pair{E_OUTOFMEMORY, S_OK}, std::pair{S_OK, kAccessDenied}}) {
    IMoniker* device = Moniker(0).Detach();  // taken while the category still opens
    capture_.createEnumeratorResult = create;
    capture_.listResult = list;
    const HRESULT expected = FAILED(create) ? create : list;
    ExpectNoDeviceFound(expected);
    // The caller's reference is released even when the category cannot be opened.
    EXPECT_EQ(GetNextVideoInputDevice(&device), expected);
    EXPECT_EQ(device, nullptr);
    capture_.createEnumeratorResult = S_OK;
    capture_.listResult = S_OK;
  }
}

// Devices whose path cannot be read are passed over, even by the empty path.
TEST_F(VideoDevicesTest, FindByDevicePath) {
  capture_.AddDevice(u"No path", u"usb-9").devicePath.reset();
  capture_.AddDevice(u"Locked", u"usb-9").bindStorageResult = kAccessDenied;
  AddThree();
  const struct {
    const char* path;
    const char* found;  // friendly name, or "" for none
  } cases[] = {{"usb-2", "Rear camera"},
               {"pci-3", "Capture card"},
               {"", "Front camera"},
               {"usb-9", ""},
               {"USB-2", ""},
               {"usb-2 ", ""},
               {"usb", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ComPtr<IMoniker> device;
    EXPECT_EQ(FindVideoInputDeviceByDevicePath(AsciiToWide(c.path).c_str(), device.Receive()),
              S_OK);
    EXPECT_EQ(device ? NameOf(device.Get()) : "", c.found);
  }
}

TEST_F(VideoDevicesTest, PropertiesAreCopiedIntoTheCallersBuffer) {
  OleString longName(300, u'n');
  capture_.AddDevice(u"Front camera", u"usb-1");
  capture_.AddDevice(longName, OleString(270, u'p'));
  auto& noName = capture_.AddDevice(u"", u"usb-3");
  noName.friendlyName.reset();
  capture_.AddDevice(u"Locked", u"usb-4").bindStorageResult = kAccessDenied;

  const struct {
    int device;  // -1: a null moniker
    bool path;
    HRESULT result;
    OleString text;
  } cases[] = {
      {0, false, S_OK, u"Front camera"},
      {0, true, S_OK, u"usb-1"},
      // Cut to fit 260 units with the terminator.
      {1, false, S_OK, OleString(259, u'n')},
      {1, true, S_OK, OleString(259, u'p')},
      {2, false, kNotFound, u""},
      {2, true, S_OK, u"usb-3"},
      {3, false, kAccessDenied, u""},
      {-1, false, E_POINTER, u""},
      {-1, true, E_POINTER, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.device) + (c.path ? " path" : " name"));
    ComPtr<IMoniker> device = c.device >= 0 ? Moniker(static_cast<size_t>(c.device)) : nullptr;
    OLECHAR buffer[kVideoDeviceTextCapacity + 8];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    HRESULT hr = c.path ? GetMonikerDevicePath(device.Get(), buffer)
                        : GetMonikerFriendlyName(device.Get(), buffer);
    EXPECT_EQ(hr, c.result);
    ASSERT_EQ(buffer[kVideoDeviceTextCapacity], u'#');  // nothing written past the capacity
    EXPECT_EQ(OleString(buffer), c.text);
  }
}

TEST_F(VideoDevicesTest, PropertyPages) {
  capture_.AddDevice(u"Front camera", u"usb-1").propertyPages = {CLSID_SystemDeviceEnum,
                                                                 CLSID_VideoInputDeviceCategory};
  capture_.AddDevice(u"No pages", u"usb-2");
  capture_.AddDevice(u"Unbindable", u"usb-3").bindFilterResult = kAccessDenied;
  HWND parent = reinterpret_cast<HWND>(0x1234);

  const struct {
    int device;
    bool parent;
    HRESULT result;
  } cases[] = {{0, true, S_OK},
               {1, true, E_NOINTERFACE},
               {2, true, kAccessDenied},
               {0, false, E_POINTER},
               {-1, true, E_POINTER}};
  for (const auto& c : cases) {
    ComPtr<IMoniker> device = c.device >= 0 ? Moniker(static_cast<size_t>(c.device)) : nullptr;
    EXPECT_EQ(DisplayPropertyPages(device.Get(), c.parent ? parent : nullptr), c.result)
        << c.device;
  }
  ASSERT_EQ(capture_.propertyFrames.size(), 1u);
  EXPECT_EQ(WideToNarrow(capture_.propertyFrames[0].caption), "Front camera");
  EXPECT_EQ(capture_.propertyFrames[0].objectCount, 1u);
  EXPECT_EQ(capture_.propertyFrames[0].pageCount, 2u);
}

}  // namespace
}  // namespace video_test
