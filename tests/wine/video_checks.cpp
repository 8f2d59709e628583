// The exported video functions, looked up by name in medley.dll and called
// over Wine's real DirectShow: an empty video input category (Wine offers no
// capture device here), the property functions on a moniker that is not a
// capture device, and the failure paths of the property-page call and the
// capture size check.
#include <string>

#include "medley/video_capture.h"
#include "platform/com_ptr.h"
#include "platform/directshow.h"
#include "tests/wine/wine_checks.h"

namespace wine_tests {

namespace {

using platform::ComPtr;

// The video functions as the host finds them: by name in the module.
struct VideoExports {
  decltype(&::GetFirstVideoInputDevice) getFirst = nullptr;
  decltype(&::GetNextVideoInputDevice) getNext = nullptr;
  decltype(&::FindVideoInputDeviceByDevicePath) findByPath = nullptr;
  decltype(&::GetMonikerFriendlyName) friendlyName = nullptr;
  decltype(&::GetMonikerDevicePath) devicePath = nullptr;
  decltype(&::DisplayPropertyPages) propertyPages = nullptr;
  decltype(&::GetImageWidth) imageWidth = nullptr;
  decltype(&::GetImageHeight) imageHeight = nullptr;
  decltype(&::CheckImageResolution) checkResolution = nullptr;
};

template <typename Function>
bool Find(Checks& checks, HMODULE module, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return checks.Expect(*function != nullptr, std::string("export ") + name);
}

bool FindExports(Checks& checks, HMODULE module, VideoExports* v) {
  bool all = Find(checks, module, "GetFirstVideoInputDevice", &v->getFirst);
  all &= Find(checks, module, "GetNextVideoInputDevice", &v->getNext);
  all &= Find(checks, module, "FindVideoInputDeviceByDevicePath", &v->findByPath);
  all &= Find(checks, module, "GetMonikerFriendlyName", &v->friendlyName);
  all &= Find(checks, module, "GetMonikerDevicePath", &v->devicePath);
  all &= Find(checks, module, "DisplayPropertyPages", &v->propertyPages);
  all &= Find(checks, module, "GetImageWidth", &v->imageWidth);
  all &= Find(checks, module, "GetImageHeight", &v->imageHeight);
  all &= Find(checks, module, "CheckImageResolution", &v->checkResolution);
  return all;
}

// A moniker of the DirectShow filter category whose filter binds but offers
// no property pages (so that no modal frame can appear), or null.
ComPtr<IMoniker> FilterWithoutPropertyPages() {
  ComPtr<ICreateDevEnum> devices;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ICreateDevEnum, devices.ReceiveVoid())))
    return {};
  ComPtr<IEnumMoniker> monikers;
  if (devices->CreateClassEnumerator(CLSID_LegacyAmFilterCategory, monikers.Receive(), 0) != S_OK)
    return {};
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.Receive(), nullptr) == S_OK) {
    ComPtr<IBaseFilter> filter;
    ComPtr<ISpecifyPropertyPages> pages;
    if (SUCCEEDED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.ReceiveVoid())) &&
        FAILED(filter.As(&pages)))
      return moniker;
    moniker.Reset();
  }
  return {};
}

void CheckEmptyCategory(Checks& checks, const VideoExports& v) {
  IMoniker* device = reinterpret_cast<IMoniker*>(1);
  checks.Expect(v.getFirst(&device) == S_OK && device == nullptr,
                "video: no capture device, the first is null");
  device = reinterpret_cast<IMoniker*>(1);
  checks.Expect(v.findByPath(L"", &device) == S_OK && device == nullptr,
                "video: an empty path finds nothing in an empty category");
  checks.ExpectHr(v.getFirst(nullptr), E_POINTER, "video: GetFirstVideoInputDevice(null)");
  checks.ExpectHr(v.getNext(nullptr), E_POINTER, "video: GetNextVideoInputDevice(null)");
  checks.ExpectHr(v.findByPath(L"x", nullptr), E_POINTER,
                  "video: FindVideoInputDeviceByDevicePath(path, null)");
  OLECHAR name[kVideoDeviceTextCapacity] = L"stale";
  checks.Expect(v.friendlyName(nullptr, name) == E_POINTER && name[0] == 0,
                "video: GetMonikerFriendlyName(null) empties the buffer");
}

void CheckSizes(Checks& checks, const VideoExports& v) {
  LONG width = -1;
  LONG height = -1;
  checks.Expect(v.imageWidth(CT_IMAGE_RES_CIF, &width) == S_OK && width == 352 &&
                    v.imageHeight(CT_IMAGE_RES_WHD, &height) == S_OK && height == 720,
                "video: image sizes from the table");
  checks.Expect(v.imageWidth(static_cast<CT_IMAGE_RESOLUTION>(16), &width) == S_OK && width == 0 &&
                    v.imageHeight(static_cast<CT_IMAGE_RESOLUTION>(-1), &height) == S_OK &&
                    height == 0,
                "video: a size outside the table is 0");
  checks.ExpectHr(v.imageWidth(CT_IMAGE_RES_VGA, nullptr), E_POINTER, "video: GetImageWidth(null)");
  bool supported = true;
  checks.Expect(v.checkResolution(nullptr, 1, CT_IMAGE_RES_VGA, &supported) == S_OK && !supported,
                "video: no device supports no size");
  supported = true;
  checks.Expect(
      v.checkResolution(nullptr, 0, CT_IMAGE_RES_SUBQCIF, &supported) == S_OK && !supported,
      "video: SQCIF refused without allowAllSizes");
  checks.ExpectHr(v.checkResolution(nullptr, 1, CT_IMAGE_RES_VGA, nullptr), E_POINTER,
                  "video: CheckImageResolution(null supported)");
}

// A filter that is not a capture device: its name reads, it has no device
// path, no capture pin and no property pages.
void CheckOtherFilter(Checks& checks, const VideoExports& v) {
  ComPtr<IMoniker> filter = FilterWithoutPropertyPages();
  if (!checks.Expect(filter.Get() != nullptr, "video: a DirectShow filter without property pages"))
    return;
  OLECHAR text[kVideoDeviceTextCapacity] = L"stale";
  HRESULT hr = v.friendlyName(filter.Get(), text);
  checks.Expect(hr == S_OK && text[0] != 0, "video: the filter's friendly name", Hex(hr));
  hr = v.devicePath(filter.Get(), text);
  checks.Expect(FAILED(hr) && text[0] == 0, "video: no device path, an empty buffer", Hex(hr));

  const HWND parent = GetDesktopWindow();
  checks.ExpectHr(v.propertyPages(nullptr, parent), E_POINTER,
                  "video: DisplayPropertyPages(null moniker)");
  checks.ExpectHr(v.propertyPages(filter.Get(), nullptr), E_POINTER,
                  "video: DisplayPropertyPages(null parent)");
  checks.ExpectHr(v.propertyPages(filter.Get(), parent), E_NOINTERFACE,
                  "video: DisplayPropertyPages on a filter without pages");

  bool supported = true;
  hr = v.checkResolution(filter.Get(), 1, CT_IMAGE_RES_VGA, &supported);
  checks.Expect(hr == E_POINTER && !supported, "video: no capture pin gives E_POINTER", Hex(hr));
}

}  // namespace

void CheckVideo(Checks& checks, const Options& options) {
  HMODULE module = LoadLibraryW(options.modulePath.c_str());
  if (!checks.Expect(module != nullptr, "video: LoadLibrary medley.dll")) return;
  VideoExports exports;
  if (FindExports(checks, module, &exports)) {
    CheckEmptyCategory(checks, exports);
    CheckSizes(checks, exports);
    CheckOtherFilter(checks, exports);
  }
  FreeLibrary(module);
}

}  // namespace wine_tests
