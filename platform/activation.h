// Creating COM objects by class identifier or ProgID, as a host does, under
// the Windows names. On Windows these are the COM runtime's own functions.
// Elsewhere they resolve through the class registry file (platform/registry.h):
// a ProgID's "CLSID" subkey gives the class identifier, and the class key's
// "InprocServer32" default value names the shared library that serves it,
// which is loaded with dlopen and asked for its class object through its
// exported DllGetClassObject. Only in-process servers exist here.
//
// A loaded library stays loaded while the process runs, unless the host calls
// CoFreeUnusedLibraries when it knows no objects of it are left. The
// functions are thread-safe; the apartment calls keep only a per-thread count.
#pragma once

#include "medley/com_base.h"

#if !defined(_WIN32)

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr DWORD CLSCTX_ALL = CLSCTX_SERVER | CLSCTX_INPROC_HANDLER;

constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
constexpr DWORD COINIT_MULTITHREADED = 0x0;

constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x800401F8u);
constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9u);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);

// The entry points an in-process server exports.
using DllGetClassObjectFunction = HRESULT (*)(REFCLSID rclsid, REFIID riid, void** ppv);
using DllCanUnloadNowFunction = HRESULT (*)();

// Apartment bookkeeping only: S_OK for the calling thread's first call,
// S_FALSE for further ones; each needs a CoUninitialize.
HRESULT CoInitialize(void* reserved);
HRESULT CoInitializeEx(void* reserved, DWORD coInit);
void CoUninitialize();

// The class identifier registered for `progId` ("<ProgID>\CLSID"):
// E_INVALIDARG for null arguments, CO_E_CLASSSTRING for a ProgID that is not
// registered or whose CLSID value is not a class identifier.
HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid);

// The class object of `rclsid` from its registered in-process server.
// REGDB_E_CLASSNOTREG when the class (or its InprocServer32 value) is not
// registered or `clsContext` does not allow an in-process server;
// CO_E_DLLNOTFOUND when the library cannot be loaded; CO_E_ERRORINDLL when
// it has no DllGetClassObject; otherwise what DllGetClassObject answers.
HRESULT CoGetClassObject(REFCLSID rclsid, DWORD clsContext, void* serverInfo, REFIID riid,
                         void** ppv);

// CoGetClassObject for IClassFactory, then CreateInstance. *ppv is null on
// failure.
HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* outer, DWORD clsContext, REFIID riid,
                         void** ppv);

// Unloads every library loaded by CoGetClassObject whose DllCanUnloadNow
// answers S_OK. Pointers into an unloaded library must not be used again.
void CoFreeUnusedLibraries();

#endif  // !_WIN32
