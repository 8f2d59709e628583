#include "component/class_factory.h"

#include <new>

#include "component/media_handler_object.h"
#include "component/module_lock.h"
#include "platform/trace.h"

CGipsMediaHandlerFactory& CGipsMediaHandlerFactory::Instance() {
  static CGipsMediaHandlerFactory factory;
  return factory;
}

HRESULT CGipsMediaHandlerFactory::QueryInterface(REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *ppvObject = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

ULONG CGipsMediaHandlerFactory::AddRef() {
  component::LockModule();
  return ++references_;
}

ULONG CGipsMediaHandlerFactory::Release() {
  ULONG count = references_.load();
  while (count > 0 && !references_.compare_exchange_weak(count, count - 1)) {
  }
  if (count == 0) return 0;
  component::UnlockModule();
  return count - 1;
}

HRESULT CGipsMediaHandlerFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                 void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  *ppvObject = nullptr;
  if (pUnkOuter) return CLASS_E_NOAGGREGATION;
  try {
    platform::ComPtr<IMediaHandler> object = CGipsMediaHandlerObject::Create();
    return object->QueryInterface(riid, ppvObject);
  } catch (const std::bad_alloc&) {
    platform::Trace("CGipsMediaHandlerFactory::CreateInstance, out of memory\n");
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT CGipsMediaHandlerFactory::LockServer(BOOL fLock) {
  if (fLock)
    component::LockModule();
  else
    component::UnlockModule();
  return S_OK;
}
