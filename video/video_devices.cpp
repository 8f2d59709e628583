// The exported device functions: iteration over the video input device
// category, lookup by device path, the two device properties, and the
// capture filter's property pages. Every call opens the category afresh;
// the only state is the moniker the caller holds.
#include <algorithm>

#include "medley/video_capture.h"
#include "platform/com_ptr.h"
#include "platform/directshow.h"
#include "platform/wide_text.h"

namespace {

using platform::ComPtr;
using platform::OleString;

// S_OK with a null enumerator when the category has no devices.
HRESULT OpenVideoInputCategory(ComPtr<IEnumMoniker>* monikers) {
  ComPtr<ICreateDevEnum> devices;
  HRESULT hr = platform::CreateSystemDeviceEnumerator(&devices);
  if (FAILED(hr)) return hr;
  hr = devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers->Receive(), 0);
  if (FAILED(hr)) return hr;
  return S_OK;
}

// The next moniker of the enumeration, or null at the end.
ComPtr<IMoniker> NextMoniker(IEnumMoniker* monikers) {
  ComPtr<IMoniker> moniker;
  if (monikers->Next(1, moniker.Receive(), nullptr) != S_OK) moniker.Reset();
  return moniker;
}

// A fresh enumeration hands out new moniker objects, so the same device is
// recognised by IsEqual as well as by identity.
bool IsSameDevice(IMoniker* known, IMoniker* candidate) {
  return known == candidate || (known && known->IsEqual(candidate) == S_OK);
}

HRESULT ReadProperty(IMoniker* device, const OLECHAR* name, OleString* value) {
  if (!device) return E_POINTER;
  ComPtr<IPropertyBag> bag;
  HRESULT hr = device->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.ReceiveVoid());
  if (FAILED(hr)) return hr;
  VARIANT variant;
  VariantInit(&variant);
  hr = bag->Read(name, &variant, nullptr);
  if (FAILED(hr)) return hr;
  if (variant.vt == VT_BSTR && variant.bstrVal)
    value->assign(variant.bstrVal, SysStringLen(variant.bstrVal));
  VariantClear(&variant);
  return S_OK;
}

// Copies `text` with its terminator into a caller's buffer of
// kVideoDeviceTextCapacity units, cutting it to fit.
void CopyToCaller(const OleString& text, OLECHAR* buffer) {
  if (!buffer) return;
  size_t count = std::min<size_t>(text.size(), kVideoDeviceTextCapacity - 1);
  std::copy_n(text.data(), count, buffer);
  buffer[count] = 0;
}

HRESULT CopyProperty(IMoniker* device, const OLECHAR* name, OLECHAR* buffer) {
  OleString value;
  HRESULT hr = ReadProperty(device, name, &value);
  if (FAILED(hr)) value.clear();
  CopyToCaller(value, buffer);
  return hr;
}

}  // namespace

extern "C" MEDLEY_API HRESULT GetFirstVideoInputDevice(IMoniker** device) {
  if (!device) return E_POINTER;
  *device = nullptr;
  ComPtr<IEnumMoniker> monikers;
  HRESULT hr = OpenVideoInputCategory(&monikers);
  if (FAILED(hr) || !monikers) return hr;
  *device = NextMoniker(monikers.Get()).Detach();
  return S_OK;
}

extern "C" MEDLEY_API HRESULT GetNextVideoInputDevice(IMoniker** device) {
  if (!device) return E_POINTER;
  // The caller's reference is ours now; it goes when this call returns.
  ComPtr<IMoniker> current = ComPtr<IMoniker>::Adopt(*device);
  *device = nullptr;
  ComPtr<IEnumMoniker> monikers;
  HRESULT hr = OpenVideoInputCategory(&monikers);
  if (FAILED(hr) || !monikers) return hr;

  bool met = false;
  while (ComPtr<IMoniker> candidate = NextMoniker(monikers.Get())) {
    if (met) {
      *device = candidate.Detach();
      break;
    }
    met = IsSameDevice(current.Get(), candidate.Get());
  }
  return S_OK;
}

extern "C" MEDLEY_API HRESULT FindVideoInputDeviceByDevicePath(const OLECHAR* devicePath,
                                                               IMoniker** device) {
  // A null path reads as the empty one.
  OleString wanted = devicePath ? OleString(devicePath) : OleString();
  if (!device) return E_POINTER;
  *device = nullptr;
  ComPtr<IEnumMoniker> monikers;
  HRESULT hr = OpenVideoInputCategory(&monikers);
  if (FAILED(hr) || !monikers) return hr;

  while (ComPtr<IMoniker> candidate = NextMoniker(monikers.Get())) {
    OleString path;
    if (FAILED(ReadProperty(candidate.Get(), MEDLEY_OLESTR("DevicePath"), &path))) continue;
    // Exact comparison: letter case counts.
    if (wanted.empty() || path == wanted) {
      *device = candidate.Detach();
      return S_OK;
    }
  }
  return S_OK;
}

extern "C" MEDLEY_API HRESULT GetMonikerFriendlyName(IMoniker* device, OLECHAR* name) {
  return CopyProperty(device, MEDLEY_OLESTR("FriendlyName"), name);
}

extern "C" MEDLEY_API HRESULT GetMonikerDevicePath(IMoniker* device, OLECHAR* path) {
  return CopyProperty(device, MEDLEY_OLESTR("DevicePath"), path);
}

extern "C" MEDLEY_API HRESULT DisplayPropertyPages(IMoniker* device, HWND parent) {
  if (!device || !parent) return E_POINTER;
  ComPtr<IBaseFilter> filter;
  HRESULT hr = device->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.ReceiveVoid());
  if (FAILED(hr)) return hr;
  ComPtr<ISpecifyPropertyPages> specify;
  hr = filter.As(&specify);
  if (FAILED(hr)) return hr;
  ComPtr<IUnknown> object;
  hr = filter.As(&object);
  if (FAILED(hr)) return hr;
  FILTER_INFO info = {};
  hr = filter->QueryFilterInfo(&info);
  if (FAILED(hr)) return hr;
  ComPtr<IFilterGraph> graph = ComPtr<IFilterGraph>::Adopt(info.pGraph);

  CAUUID pages = {};
  hr = specify->GetPages(&pages);
  if (FAILED(hr)) return hr;
  // Modal; whether the user changed anything is not reported.
  IUnknown* objects[] = {object.Get()};
  OleCreatePropertyFrame(parent, 0, 0, info.achName, 1, objects, pages.cElems, pages.pElems, 0, 0,
                         nullptr);
  CoTaskMemFree(pages.pElems);
  return S_OK;
}
