// The entry points the module exports under these undecorated names. A host
// reaches them through the COM runtime (Windows) or the platform's
// activation functions, which find them by name; tests call them directly.
#pragma once

#include "medley/com_base.h"
#include "medley/export.h"

// The class factory of CLSID_GipsMediaHandler as `riid` (IUnknown or
// IClassFactory). E_POINTER for a null `ppv`; CLASS_E_CLASSNOTAVAILABLE for
// any other class (and *ppv null).
MEDLEY_C_API HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
// S_OK when no object, factory reference or server lock holds the module,
// else S_FALSE.
MEDLEY_C_API HRESULT STDMETHODCALLTYPE DllCanUnloadNow();
// Writes the class's registration data with this module's path, then
// registers the type library (Windows).
MEDLEY_C_API HRESULT STDMETHODCALLTYPE DllRegisterServer();
// Removes the class key whole, the ProgID entries and the type library's
// registration.
MEDLEY_C_API HRESULT STDMETHODCALLTYPE DllUnregisterServer();
