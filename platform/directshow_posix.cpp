// The DirectShow capture objects of builds without Windows, built over the
// device descriptions of the current capture backend: the system device
// enumerator, the moniker enumerator, device monikers and their property
// bags. Each is a real reference-counted COM object. The capture filters the
// monikers bind to are in capture_filter_posix.cpp.
#include "platform/directshow.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <utility>
#include <vector>

#include "platform/bstr.h"
#include "platform/capture_object_posix.h"
#include "platform/video_capture_backend.h"
#include "platform/wide_text.h"

namespace platform {
namespace {

using capture_objects::CaptureObject;
using capture_objects::DeviceModelPtr;
using capture_objects::live_objects;
using capture_objects::TaskMemString;

constexpr HRESULT kPropertyNotFound = static_cast<HRESULT>(0x80070002u);  // ERROR_FILE_NOT_FOUND

// Answered only by this file's device monikers, so IsEqual can recognise them.
constexpr IID kIidDeviceMoniker = {
    0x6D0C1F3A, 0x4B52, 0x4E1B, {0x9E, 0x2D, 0x51, 0x7A, 0x30, 0xC4, 0x88, 0x01}};

// ---- property bag ----

class DevicePropertyBag final : public CaptureObject<DevicePropertyBag, IPropertyBag> {
 public:
  explicit DevicePropertyBag(DeviceModelPtr device) : device_(std::move(device)) {}

  IUnknown* Identity() { return this; }
  void* Find(REFIID iid) {
    return IsEqualIID(iid, IID_IPropertyBag) ? static_cast<IPropertyBag*>(this) : nullptr;
  }

  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    if (!name || !value) return E_POINTER;
    const std::optional<OleString>* property = nullptr;
    if (WideCompareNoCase(name, u"FriendlyName") == 0) property = &device_->friendlyName;
    if (WideCompareNoCase(name, u"DevicePath") == 0) property = &device_->devicePath;
    if (!property || !property->has_value()) return kPropertyNotFound;
    BSTR text = AllocBstr(**property);
    if (!text) return E_OUTOFMEMORY;
    VariantInit(value);
    value->vt = VT_BSTR;
    value->bstrVal = text;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }

 private:
  DeviceModelPtr device_;
};

class DeviceMoniker final : public CaptureObject<DeviceMoniker, IMoniker> {
 public:
  explicit DeviceMoniker(DeviceModelPtr device) : device_(std::move(device)) {}

  IUnknown* Identity() { return this; }
  void* Find(REFIID iid) {
    if (IsEqualIID(iid, IID_IMoniker) || IsEqualIID(iid, IID_IPersistStream) ||
        IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, kIidDeviceMoniker))
      return static_cast<IMoniker*>(this);
    return nullptr;
  }

  // IPersist, IPersistStream: device monikers are not saved here.
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE Load(IStream*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Save(IStream*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }

  // IMoniker
  HRESULT STDMETHODCALLTYPE BindToObject(IBindCtx*, IMoniker*, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (FAILED(device_->bindFilterResult)) return device_->bindFilterResult;
    return capture_objects::CreateCaptureFilter(device_, iid, object);
  }
  HRESULT STDMETHODCALLTYPE BindToStorage(IBindCtx*, IMoniker*, REFIID iid,
                                          void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (FAILED(device_->bindStorageResult)) return device_->bindStorageResult;
    auto bag = ComPtr<DevicePropertyBag>::Adopt(new DevicePropertyBag(device_));
    return bag->QueryInterface(iid, object);
  }
  HRESULT STDMETHODCALLTYPE Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ComposeWith(IMoniker*, BOOL, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Enum(BOOL, IEnumMoniker** monikers) override {
    if (!monikers) return E_POINTER;
    *monikers = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsEqual(IMoniker* other) override {
    if (!other) return E_INVALIDARG;
    DeviceMoniker* device = nullptr;
    if (FAILED(other->QueryInterface(kIidDeviceMoniker, reinterpret_cast<void**>(&device))))
      return S_FALSE;
    bool same = device->device_->identity == device_->identity;
    device->Release();
    return same ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Hash(DWORD* hash) override {
    if (!hash) return E_POINTER;
    *hash = static_cast<DWORD>(std::hash<std::string>()(device_->identity));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsRunning(IBindCtx*, IMoniker*, IMoniker*) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Inverse(IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CommonPrefixWith(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RelativePathTo(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* name) override {
    if (!name) return E_POINTER;
    *name = TaskMemString(u"@device:" + NarrowToWide(device_->identity));
    return *name ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG*,
                                             IMoniker**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE IsSystemMoniker(DWORD* kind) override {
    if (!kind) return E_POINTER;
    *kind = 0;  // MKSYS_NONE
    return S_FALSE;
  }

 private:
  DeviceModelPtr device_;
};

class MonikerEnumerator final : public CaptureObject<MonikerEnumerator, IEnumMoniker> {
 public:
  explicit MonikerEnumerator(CaptureDeviceList devices, size_t position = 0)
      : devices_(std::move(devices)), position_(position) {}

  IUnknown* Identity() { return this; }
  void* Find(REFIID iid) {
    return IsEqualIID(iid, IID_IEnumMoniker) ? static_cast<IEnumMoniker*>(this) : nullptr;
  }

  // Each fetch creates a new moniker object, as a fresh enumeration does.
  HRESULT STDMETHODCALLTYPE Next(ULONG count, IMoniker** monikers, ULONG* fetched) override {
    if (!monikers || (count != 1 && !fetched)) return E_POINTER;
    ULONG done = 0;
    for (; done < count && position_ < devices_.size(); ++done, ++position_)
      monikers[done] = new DeviceMoniker(devices_[position_]);
    if (fetched) *fetched = done;
    return done == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    position_ = std::min(devices_.size(), position_ + count);
    return position_ < devices_.size() || count == 0 ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumMoniker** copy) override {
    if (!copy) return E_POINTER;
    *copy = new MonikerEnumerator(devices_, position_);
    return S_OK;
  }

 private:
  CaptureDeviceList devices_;
  size_t position_;
};

class SystemDeviceEnumerator final : public CaptureObject<SystemDeviceEnumerator, ICreateDevEnum> {
 public:
  IUnknown* Identity() { return this; }
  void* Find(REFIID iid) {
    return IsEqualIID(iid, IID_ICreateDevEnum) ? static_cast<ICreateDevEnum*>(this) : nullptr;
  }

  HRESULT STDMETHODCALLTYPE CreateClassEnumerator(REFCLSID category, IEnumMoniker** monikers,
                                                  DWORD) override {
    if (!monikers) return E_POINTER;
    *monikers = nullptr;
    // Only video input devices exist here; other categories are empty.
    if (!IsEqualGUID(category, CLSID_VideoInputDeviceCategory)) return S_FALSE;
    CaptureDeviceList devices;
    HRESULT hr = CurrentVideoCaptureBackend().ListDevices(&devices);
    if (FAILED(hr)) return hr;
    if (devices.empty()) return S_FALSE;
    *monikers = new MonikerEnumerator(std::move(devices));
    return S_OK;
  }
};

}  // namespace

ComInitialization::ComInitialization() : result_(S_OK) {}

ComInitialization::~ComInitialization() = default;

HRESULT CreateSystemDeviceEnumerator(ComPtr<ICreateDevEnum>* enumerator) {
  if (!enumerator) return E_POINTER;
  enumerator->Reset();
  HRESULT hr = CurrentVideoCaptureBackend().CreateEnumerator();
  if (FAILED(hr)) return hr;
  *enumerator = ComPtr<ICreateDevEnum>::Adopt(new SystemDeviceEnumerator());
  return S_OK;
}

int LiveCaptureObjectCountForTesting() { return live_objects.load(); }

}  // namespace platform

HRESULT OleCreatePropertyFrame(HWND, UINT, UINT, LPCOLESTR caption, ULONG objectCount, LPUNKNOWN*,
                               ULONG pageCount, LPCLSID, LCID, DWORD, LPVOID) {
  return platform::CurrentVideoCaptureBackend().ShowPropertyFrame(
      platform::OleStringView(caption ? caption : u""), objectCount, pageCount);
}
