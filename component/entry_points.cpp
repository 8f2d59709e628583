#include "component/entry_points.h"

#include "component/class_factory.h"
#include "component/module_lock.h"
#include "component/registration.h"
#include "medley/media_handler.h"

HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(rclsid, CLSID_GipsMediaHandler)) return CLASS_E_CLASSNOTAVAILABLE;
  return CGipsMediaHandlerFactory::Instance().QueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE DllCanUnloadNow() {
  return component::ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE DllRegisterServer() { return component::RegisterServer(); }

HRESULT STDMETHODCALLTYPE DllUnregisterServer() { return component::UnregisterServer(); }
