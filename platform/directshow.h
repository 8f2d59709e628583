// DirectShow for video capture code: the system headers on Windows, the
// platform's own declarations elsewhere (V4L2 devices, or a test's fake
// devices, behind the same interfaces). Code that includes this header is
// the same on both.
#pragma once

#if defined(_WIN32)
// Order matters: amvideo.h needs strmif.h's types.
// clang-format off
#include <strmif.h>
#include <amvideo.h>
#include <uuids.h>
#include <olectl.h>
// clang-format on
#else
#include "platform/directshow_posix.h"
#endif

#include "platform/com_ptr.h"

template <>
struct InterfaceIdOf<IMoniker> {
  static constexpr const IID& value = IID_IMoniker;
};
template <>
struct InterfaceIdOf<IEnumMoniker> {
  static constexpr const IID& value = IID_IEnumMoniker;
};
template <>
struct InterfaceIdOf<IPropertyBag> {
  static constexpr const IID& value = IID_IPropertyBag;
};
template <>
struct InterfaceIdOf<ICreateDevEnum> {
  static constexpr const IID& value = IID_ICreateDevEnum;
};
template <>
struct InterfaceIdOf<IBaseFilter> {
  static constexpr const IID& value = IID_IBaseFilter;
};
template <>
struct InterfaceIdOf<IEnumPins> {
  static constexpr const IID& value = IID_IEnumPins;
};
template <>
struct InterfaceIdOf<IPin> {
  static constexpr const IID& value = IID_IPin;
};
template <>
struct InterfaceIdOf<IAMStreamConfig> {
  static constexpr const IID& value = IID_IAMStreamConfig;
};
template <>
struct InterfaceIdOf<IKsPropertySet> {
  static constexpr const IID& value = IID_IKsPropertySet;
};
template <>
struct InterfaceIdOf<ISpecifyPropertyPages> {
  static constexpr const IID& value = IID_ISpecifyPropertyPages;
};

namespace platform {

// Initialises COM (single-threaded apartment) on the calling thread for the
// life of the object, for programs that call the capture functions
// themselves; nothing to do without Windows.
class ComInitialization {
 public:
  ComInitialization();
  ~ComInitialization();  // NOLINT(performance-trivially-destructible): not on Windows
  ComInitialization(const ComInitialization&) = delete;
  ComInitialization& operator=(const ComInitialization&) = delete;
  HRESULT Result() const { return result_; }

 private:
  HRESULT result_;
};

// Creates the system device enumerator in-process (CLSCTX_INPROC). The
// caller's thread has COM initialised.
HRESULT CreateSystemDeviceEnumerator(ComPtr<ICreateDevEnum>* enumerator);

}  // namespace platform
