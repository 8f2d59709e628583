// The IUnknown part of the reference host's audio sources and sinks: one
// interface, a thread-safe reference count, deletion at the last Release.
#pragma once

#include "host/com_support.h"
#include "medley/audio_streams.h"

namespace host {

// `Derived` implements `Interface`'s own methods and has a private
// destructor befriending this class.
template <class Derived, class Interface>
class AudioObject : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, InterfaceIdOf<Interface>::value)) {
      *ppvObject = nullptr;
      return E_NOINTERFACE;
    }
    *ppvObject = static_cast<Interface*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return refs_.Increment(); }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG remaining = refs_.Decrement();
    if (remaining == 0) delete static_cast<Derived*>(this);
    return remaining;
  }

 protected:
  AudioObject() = default;
  ~AudioObject() = default;

 private:
  RefCount refs_;
};

}  // namespace host
