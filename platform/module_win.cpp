#include "platform/module.h"

#include <oleauto.h>

#include "platform/wide_text.h"

namespace platform {

namespace {

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

std::wstring WideModuleFileName() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(ThisModule(), path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

std::string ModuleFileName() { return WideToNarrow(WideModuleFileName()); }

HRESULT RegisterModuleTypeLibrary() {
  std::wstring path = WideModuleFileName();
  if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
  ITypeLib* library = nullptr;
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, &library);
  if (library) library->Release();
  return hr;
}

HRESULT UnregisterTypeLibrary(const GUID& libid, WORD major, WORD minor) {
  BSTR registeredPath = nullptr;
  if (FAILED(QueryPathOfRegTypeLib(libid, major, minor, LOCALE_NEUTRAL, &registeredPath)))
    return S_OK;
  SysFreeString(registeredPath);
  return UnRegisterTypeLib(libid, major, minor, LOCALE_NEUTRAL, SYS_WIN64);
}

}  // namespace platform
