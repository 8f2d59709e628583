// The capture filter that a device moniker binds to, with its pins and the
// pin enumerator. Pins share the reference count of their filter, as
// DirectShow pins do.
#include "platform/capture_object_posix.h"

#include <cstring>
#include <utility>
#include <vector>

#include "platform/wide_text.h"

namespace platform::capture_objects {
namespace {

constexpr HRESULT kPropertySetUnsupported = static_cast<HRESULT>(0x80070492u);
constexpr DWORD kPropertySupportGet = 1;

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

}  // namespace

HRESULT CreateCaptureFilter(DeviceModelPtr device, REFIID iid, void** object) {
  ComPtr<CaptureFilter> filter = ComPtr<CaptureFilter>::Adopt(new CaptureFilter(std::move(device)));
  return filter->QueryInterface(iid, object);
}

}  // namespace platform::capture_objects
