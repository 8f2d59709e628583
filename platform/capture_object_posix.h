// What the POSIX DirectShow capture objects share: reference counting and
// QueryInterface for a COM object, the count of live objects, text helpers,
// and the creation of a capture filter for a device (which device monikers
// bind to). Internal to medley_platform_video.
#pragma once

#include <algorithm>
#include <atomic>
#include <memory>

#include "platform/directshow.h"
#include "platform/video_capture_backend.h"

namespace platform::capture_objects {

// Capture objects alive in the process, for LiveCaptureObjectCountForTesting.
inline std::atomic<int> live_objects{0};

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

// `name` cut to 127 units and terminated, as FILTER_INFO and PIN_INFO hold it.
inline void CopyName(OleStringView name, WCHAR (&target)[128]) {
  size_t count = std::min<size_t>(name.size(), 127);
  std::copy_n(name.data(), count, target);
  target[count] = 0;
}

// A CoTaskMemAlloc copy of `text`, terminated; null when out of memory.
inline LPWSTR TaskMemString(OleStringView text) {
  auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
  if (!copy) return nullptr;
  std::copy(text.begin(), text.end(), copy);
  copy[text.size()] = 0;
  return copy;
}

// A new capture filter for `device`, answering `iid` into `object`.
HRESULT CreateCaptureFilter(DeviceModelPtr device, REFIID iid, void** object);

}  // namespace platform::capture_objects
