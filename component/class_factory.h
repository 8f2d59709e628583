// The class factory of the one class, CLSID_GipsMediaHandler. There is one
// factory object for the module; each reference to it and each
// LockServer(TRUE) holds a module lock.
#pragma once

#include <atomic>

#include "medley/com_base.h"

class CGipsMediaHandlerFactory final : public IClassFactory {
 public:
  // The module's factory (no reference is added).
  static CGipsMediaHandlerFactory& Instance();

  CGipsMediaHandlerFactory(const CGipsMediaHandlerFactory&) = delete;
  CGipsMediaHandlerFactory& operator=(const CGipsMediaHandlerFactory&) = delete;

  // IUnknown: IUnknown and IClassFactory.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // A new media handler object as `riid`: E_POINTER for a null `ppvObject`,
  // CLASS_E_NOAGGREGATION with an outer unknown, E_OUTOFMEMORY when it
  // cannot be built, E_NOINTERFACE when it has no such interface.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                           void** ppvObject) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override;

 private:
  CGipsMediaHandlerFactory() = default;
  ~CGipsMediaHandlerFactory() = default;

  std::atomic<ULONG> references_{0};
};
