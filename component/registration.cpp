#include "component/registration.h"

#include <string>
#include <vector>

#include "medley/media_handler.h"
#include "platform/guid.h"
#include "platform/module.h"
#include "platform/trace.h"

namespace component {

namespace {

constexpr WORD kTypeLibraryMajor = 4;
constexpr WORD kTypeLibraryMinor = 2;

std::string ClassKey() { return "CLSID\\" + platform::GuidToString(CLSID_GipsMediaHandler); }

struct Entry {
  std::string key;
  std::string_view name;  // "" is the default value
  std::string value;
};

std::vector<Entry> ProgIdEntries() {
  const std::string clsid = platform::GuidToString(CLSID_GipsMediaHandler);
  const std::string versioned = MEDLEY_PROGID_VERSIONED;
  const std::string independent = MEDLEY_PROGID;
  return {
      {versioned, "", std::string(kClassDescription)},   {versioned + "\\CLSID", "", clsid},
      {independent, "", std::string(kClassDescription)}, {independent + "\\CLSID", "", clsid},
      {independent + "\\CurVer", "", versioned},
  };
}

std::vector<Entry> ClassEntries(std::string_view modulePath) {
  const std::string key = ClassKey();
  return {
      {key, "", std::string(kClassDescription)},
      {key + "\\ProgID", "", MEDLEY_PROGID_VERSIONED},
      {key + "\\VersionIndependentProgID", "", MEDLEY_PROGID},
      {key + "\\InprocServer32", "", std::string(modulePath)},
      {key + "\\InprocServer32", "ThreadingModel", std::string(kThreadingModel)},
      {key + "\\TypeLib", "", platform::GuidToString(LIBID_MEDLEYLib)},
  };
}

std::string CategoryKey() {
  return ClassKey() + "\\Implemented Categories\\" +
         platform::GuidToString(CATID_MedleyMediaHandlers);
}

}  // namespace

HRESULT WriteClassRegistration(platform::ClassRegistryEditor& registry,
                               std::string_view modulePath) {
  if (modulePath.empty()) return SELFREG_E_CLASS;
  HRESULT hr = registry.DeleteTree(ClassKey());
  if (FAILED(hr)) return hr;
  std::vector<Entry> entries = ProgIdEntries();
  for (Entry& entry : ClassEntries(modulePath)) entries.push_back(std::move(entry));
  for (const Entry& entry : entries) {
    hr = registry.SetValue(entry.key, entry.name, entry.value);
    if (FAILED(hr)) return hr;
  }
  return registry.CreateKey(CategoryKey());
}

HRESULT RemoveClassRegistration(platform::ClassRegistryEditor& registry) {
  HRESULT hr = registry.DeleteTree(ClassKey());
  if (FAILED(hr)) return hr;
  const std::string progIds[] = {MEDLEY_PROGID_VERSIONED, MEDLEY_PROGID};
  for (const std::string& progId : progIds) {
    for (const char* subkey : {"\\CLSID", "\\CurVer"}) {
      hr = registry.DeleteTree(progId + subkey);
      if (FAILED(hr)) return hr;
    }
    hr = registry.DeleteKeyUnlessParent(progId);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT RegisterServer() {
  std::string modulePath = platform::ModuleFileName();
  HRESULT hr = platform::EditClassRegistry([&](platform::ClassRegistryEditor& registry) {
    return WriteClassRegistration(registry, modulePath);
  });
  platform::Trace("DllRegisterServer, class %s for %s: 0x%08X\n", ClassKey().c_str(),
                  modulePath.c_str(), static_cast<unsigned>(hr));
  if (FAILED(hr)) return hr;
  return platform::RegisterModuleTypeLibrary();
}

HRESULT UnregisterServer() {
  HRESULT hr = platform::EditClassRegistry(
      [](platform::ClassRegistryEditor& registry) { return RemoveClassRegistration(registry); });
  if (FAILED(hr)) return hr;
  return platform::UnregisterTypeLibrary(LIBID_MEDLEYLib, kTypeLibraryMajor, kTypeLibraryMinor);
}

}  // namespace component
