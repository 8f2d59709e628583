// The DirectShow capture objects of builds without Windows, built over the
// device descriptions of the current capture backend: the system device
// enumerator, the moniker enumerator, device monikers, their property bags,
// capture filters, pin enumerators and pins. Each is a real reference-counted
// COM object; pins share the reference count of their filter, as DirectShow
// pins do.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "platform/bstr.h"
#include "platform/directshow.h"
#include "platform/video_capture_backend.h"

namespace platform {
namespace {

constexpr HRESULT kPropertyNotFound = static_cast<HRESULT>(0x80070002u);  // ERROR_FILE_NOT_FOUND
constexpr HRESULT kPropertySetUnsupported = static_cast<HRESULT>(0x80070492u);
constexpr DWORD kPropertySupportGet = 1;

// Answered only by this file's device monikers, so IsEqual can recognise them.
constexpr IID kIidDeviceMoniker = {
    0x6D0C1F3A, 0x4B52, 0x4E1B, {0x9E, 0x2D, 0x51, 0x7A, 0x30, 0xC4, 0x88, 0x01}};

std::atomic<int> live_objects{0};

using DeviceModelPtr = std::shared_ptr<const CaptureDeviceModel>;

// Reference counting and QueryInterface for an object implementing
// `Interfaces`; Derived supplies `void* Find(REFIID)` for the interfaces it
// answers beyond IUnknown.
template <class Derived, class... Interfaces>
class CaptureObject : public Interfaces... {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object =
        IsEqualIID(iid, IID_IUnknown) ? static_cast<void*>(Self()->Identity()) : Self()->Find(iid);
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG remaining = --references_;
    if (remaining == 0) delete Self();
    return remaining;
  }

 protected:
  CaptureObject() { ++live_objects; }
  ~CaptureObject() { --live_objects; }

 private:
  Derived* Self() { return static_cast<Derived*>(this); }
  std::atomic<ULONG> references_{1};
};

void CopyName(OleStringView name, WCHAR (&target)[128]) {
  size_t count = std::min<size_t>(name.size(), 127);
  std::copy_n(name.data(), count, target);
  target[count] = 0;
}

LPWSTR TaskMemString(OleStringView text) {
  auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
  if (!copy) return nullptr;
  std::copy(text.begin(), text.end(), copy);
  copy[text.size()] = 0;
  return copy;
}

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

// ---- filter and pins ----

class CaptureFilter;

// A pin of a capture filter. It has no reference count of its own: AddRef and
// Release go to the filter, which owns the pin.
class CapturePin final : public IPin, public IAMStreamConfig, public IKsPropertySet {
 public:
  CapturePin(CaptureFilter* filter, const CapturePinModel* model)
      : filter_(filter), model_(model) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IPin
  HRESULT STDMETHODCALLTYPE Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Disconnect() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override {
    if (!pin) return E_POINTER;
    *pin = nullptr;
    return static_cast<HRESULT>(0x80040209u);  // VFW_E_NOT_CONNECTED
  }
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE*) override {
    return static_cast<HRESULT>(0x80040209u);
  }
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override {
    if (!direction) return E_POINTER;
    *direction = PINDIR_OUTPUT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override {
    if (!id) return E_POINTER;
    *id = TaskMemString(model_->name);
    return *id ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE*) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE EndFlush() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override {
    return S_OK;
  }

  // IAMStreamConfig
  HRESULT STDMETHODCALLTYPE SetFormat(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetFormat(AM_MEDIA_TYPE**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNumberOfCapabilities(int* count, int* size) override {
    if (!count || !size) return E_POINTER;
    if (FAILED(model_->capabilityCountResult)) return model_->capabilityCountResult;
    *count = static_cast<int>(model_->capabilities.size());
    *size = model_->capabilitySize;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetStreamCaps(int index, AM_MEDIA_TYPE** mediaType,
                                          BYTE* caps) override;

  // IKsPropertySet
  HRESULT STDMETHODCALLTYPE Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) override {
    return kPropertySetUnsupported;
  }
  HRESULT STDMETHODCALLTYPE Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD dataSize,
                                DWORD* returned) override {
    if (!IsEqualGUID(set, AMPROPSETID_Pin) || id != AMPROPERTY_PIN_CATEGORY)
      return kPropertySetUnsupported;
    if (FAILED(model_->categoryResult)) return model_->categoryResult;
    if (!data) return E_POINTER;
    if (dataSize < sizeof(GUID)) return E_UNEXPECTED;
    std::memcpy(data, &model_->category, sizeof(GUID));
    if (returned) *returned = sizeof(GUID);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID set, DWORD id, DWORD* support) override {
    if (!IsEqualGUID(set, AMPROPSETID_Pin) || id != AMPROPERTY_PIN_CATEGORY)
      return kPropertySetUnsupported;
    if (support) *support = kPropertySupportGet;
    return S_OK;
  }

 private:
  CaptureFilter* filter_;
  const CapturePinModel* model_;
};

class CaptureFilter final
    : public CaptureObject<CaptureFilter, IBaseFilter, ISpecifyPropertyPages> {
 public:
  explicit CaptureFilter(DeviceModelPtr device) : device_(std::move(device)) {
    for (const CapturePinModel& pin : device_->pins)
      pins_.push_back(std::make_unique<CapturePin>(this, &pin));
  }

  IUnknown* Identity() { return static_cast<IBaseFilter*>(this); }
  void* Find(REFIID iid) {
    if (IsEqualIID(iid, IID_IBaseFilter) || IsEqualIID(iid, IID_IMediaFilter) ||
        IsEqualIID(iid, IID_IPersist))
      return static_cast<IBaseFilter*>(this);
    if (IsEqualIID(iid, IID_ISpecifyPropertyPages) && !device_->propertyPages.empty())
      return static_cast<ISpecifyPropertyPages*>(this);
    return nullptr;
  }

  const std::vector<std::unique_ptr<CapturePin>>& Pins() const { return pins_; }

  // IPersist, IMediaFilter: a capture source that is never run here.
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stop() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Pause() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE* state) override {
    if (!state) return E_POINTER;
    *state = State_Stopped;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override {
    if (!clock) return E_POINTER;
    *clock = nullptr;
    return S_OK;
  }

  // IBaseFilter
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override;
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override {
    if (!id || !pin) return E_POINTER;
    *pin = nullptr;
    for (const auto& candidate : pins_) {
      LPWSTR name = nullptr;
      candidate->QueryId(&name);
      bool same =
          name && WideLength(name) == WideLength(id) && std::equal(id, id + WideLength(id), name);
      CoTaskMemFree(name);
      if (same) {
        *pin = candidate.get();
        (*pin)->AddRef();
        return S_OK;
      }
    }
    return static_cast<HRESULT>(0x80040216u);  // VFW_E_NOT_FOUND
  }
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override {
    if (!info) return E_POINTER;
    CopyName(device_->friendlyName.value_or(OleString()), info->achName);
    info->pGraph = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

  // ISpecifyPropertyPages
  HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override {
    if (!pages) return E_POINTER;
    const std::vector<CLSID>& list = device_->propertyPages;
    pages->cElems = 0;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(list.size() * sizeof(GUID)));
    if (!pages->pElems) return E_OUTOFMEMORY;
    std::copy(list.begin(), list.end(), pages->pElems);
    pages->cElems = static_cast<ULONG>(list.size());
    return S_OK;
  }

 private:
  DeviceModelPtr device_;
  std::vector<std::unique_ptr<CapturePin>> pins_;
};

HRESULT STDMETHODCALLTYPE CapturePin::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin))
    *object = static_cast<IPin*>(this);
  else if (IsEqualIID(iid, IID_IAMStreamConfig) && model_->hasStreamConfig)
    *object = static_cast<IAMStreamConfig*>(this);
  else if (IsEqualIID(iid, IID_IKsPropertySet) && model_->hasPropertySet)
    *object = static_cast<IKsPropertySet*>(this);
  if (!*object) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE CapturePin::AddRef() { return filter_->AddRef(); }
ULONG STDMETHODCALLTYPE CapturePin::Release() { return filter_->Release(); }

HRESULT STDMETHODCALLTYPE CapturePin::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = filter_;
  filter_->AddRef();
  info->dir = PINDIR_OUTPUT;
  CopyName(model_->name, info->achName);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CapturePin::GetStreamCaps(int index, AM_MEDIA_TYPE** mediaType,
                                                    BYTE* caps) {
  if (!mediaType || !caps) return E_POINTER;
  *mediaType = nullptr;
  if (index < 0 || static_cast<size_t>(index) >= model_->capabilities.size()) return S_FALSE;
  if (index == model_->failingCapability) return model_->capabilityResult;

  const CaptureCapability& capability = model_->capabilities[static_cast<size_t>(index)];
  auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!type) return E_OUTOFMEMORY;
  *type = AM_MEDIA_TYPE{};
  type->majortype = capability.majorType;
  type->subtype = capability.subType;
  type->bFixedSizeSamples = capability.sampleSize != 0 ? TRUE : FALSE;
  type->lSampleSize = capability.sampleSize;
  type->formattype = capability.formatType;
  if (!capability.format.empty()) {
    type->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(capability.format.size()));
    if (!type->pbFormat) {
      CoTaskMemFree(type);
      return E_OUTOFMEMORY;
    }
    std::memcpy(type->pbFormat, capability.format.data(), capability.format.size());
    type->cbFormat = static_cast<ULONG>(capability.format.size());
  }
  std::memcpy(caps, &capability.caps, sizeof capability.caps);
  *mediaType = type;
  return S_OK;
}

// ---- enumerators over a list of objects ----

class PinEnumerator final : public CaptureObject<PinEnumerator, IEnumPins> {
 public:
  explicit PinEnumerator(CaptureFilter* filter, size_t position = 0)
      : filter_(filter), position_(position) {}

  IUnknown* Identity() { return this; }
  void* Find(REFIID iid) {
    return IsEqualIID(iid, IID_IEnumPins) ? static_cast<IEnumPins*>(this) : nullptr;
  }

  HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override {
    if (!pins || (count != 1 && !fetched)) return E_POINTER;
    ULONG done = 0;
    const auto& all = filter_->Pins();
    for (; done < count && position_ < all.size(); ++done, ++position_) {
      pins[done] = all[position_].get();
      pins[done]->AddRef();
    }
    if (fetched) *fetched = done;
    return done == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    size_t size = filter_->Pins().size();
    position_ = std::min(size, position_ + count);
    return position_ < size || count == 0 ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumPins** copy) override {
    if (!copy) return E_POINTER;
    *copy = new PinEnumerator(filter_.Get(), position_);
    return S_OK;
  }

 private:
  ComPtr<CaptureFilter> filter_;
  size_t position_;
};

HRESULT STDMETHODCALLTYPE CaptureFilter::EnumPins(IEnumPins** pins) {
  if (!pins) return E_POINTER;
  *pins = nullptr;
  if (FAILED(device_->enumPinsResult)) return device_->enumPinsResult;
  *pins = new PinEnumerator(this);
  return S_OK;
}

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
    ComPtr<CaptureFilter> filter = ComPtr<CaptureFilter>::Adopt(new CaptureFilter(device_));
    return filter->QueryInterface(iid, object);
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
