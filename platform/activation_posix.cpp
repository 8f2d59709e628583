#include "platform/activation.h"

#include <dlfcn.h>

#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "platform/guid.h"
#include "platform/registry.h"
#include "platform/trace.h"
#include "platform/wide_text.h"

namespace {

struct LoadedServer {
  std::string path;
  void* handle;
  DllGetClassObjectFunction getClassObject;
  DllCanUnloadNowFunction canUnloadNow;  // null: never unloaded
};

std::mutex& ServersMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<LoadedServer>& Servers() {
  static std::vector<LoadedServer> servers;
  return servers;
}

thread_local int apartmentCount = 0;

// The server library at `path`, loaded once.
HRESULT LoadServer(const std::string& path, DllGetClassObjectFunction* getClassObject) {
  std::lock_guard<std::mutex> lock(ServersMutex());
  for (const LoadedServer& server : Servers()) {
    if (server.path == path) {
      *getClassObject = server.getClassObject;
      return S_OK;
    }
  }
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* reason = ::dlerror();
    platform::Trace("CoGetClassObject, cannot load %s: %s\n", path.c_str(), reason ? reason : "");
    return CO_E_DLLNOTFOUND;
  }
  auto get = reinterpret_cast<DllGetClassObjectFunction>(::dlsym(handle, "DllGetClassObject"));
  if (!get) {
    ::dlclose(handle);
    return CO_E_ERRORINDLL;
  }
  auto canUnload = reinterpret_cast<DllCanUnloadNowFunction>(::dlsym(handle, "DllCanUnloadNow"));
  Servers().push_back({path, handle, get, canUnload});
  *getClassObject = get;
  return S_OK;
}

}  // namespace

HRESULT CoInitialize(void* reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(void*, DWORD) { return apartmentCount++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (apartmentCount > 0) --apartmentCount;
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid) {
  if (!progId || !clsid) return E_INVALIDARG;
  try {
    std::string name = platform::WideToNarrow(progId);
    if (name.empty() || name.find('\\') != std::string::npos) return CO_E_CLASSSTRING;
    std::string text;
    if (FAILED(platform::ReadClassRegistryValue(name + "\\CLSID", "", &text)))
      return CO_E_CLASSSTRING;
    std::optional<GUID> found = platform::GuidFromString(text);
    if (!found) return CO_E_CLASSSTRING;
    *clsid = *found;
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD clsContext, void*, REFIID riid, void** ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (!(clsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
  try {
    std::string path;
    HRESULT hr = platform::ReadClassRegistryValue(
        "CLSID\\" + platform::GuidToString(rclsid) + "\\InprocServer32", "", &path);
    if (hr == REGDB_E_KEYMISSING || (SUCCEEDED(hr) && path.empty())) return REGDB_E_CLASSNOTREG;
    if (FAILED(hr)) return hr;
    DllGetClassObjectFunction getClassObject = nullptr;
    hr = LoadServer(path, &getClassObject);
    if (FAILED(hr)) return hr;
    return getClassObject(rclsid, riid, ppv);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* outer, DWORD clsContext, REFIID riid,
                         void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(rclsid, clsContext, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(outer, riid, ppv);
  factory->Release();
  return hr;
}

void CoFreeUnusedLibraries() {
  std::lock_guard<std::mutex> lock(ServersMutex());
  std::vector<LoadedServer>& servers = Servers();
  for (auto it = servers.begin(); it != servers.end();) {
    if (it->canUnloadNow && it->canUnloadNow() == S_OK) {
      ::dlclose(it->handle);
      it = servers.erase(it);
    } else {
      ++it;
    }
  }
}
