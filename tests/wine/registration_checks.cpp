// What regsvr32 left in the registry: the class data, the ProgIDs and the
// type library's registration; and after regsvr32 /u, that they are gone.
#include <string>

#include "medley/media_handler.h"
#include "platform/registry.h"
#include "platform/wide_text.h"
#include "tests/wine/wine_checks.h"

namespace wine_tests {

namespace {

constexpr const char* kClassKey = "CLSID\\{35930323-C68D-47A6-B757-5C4E70CCC35F}";

bool SamePath(const std::string& a, const std::wstring& b) {
  return platform::WideEqualsNoCase(platform::NarrowToWide(a), b);
}

}  // namespace

void CheckRegistration(Checks& checks, const Options& options) {
  struct Row {
    std::string key;
    const char* name;
    std::string value;
  };
  const std::string clsKey = kClassKey;
  const Row rows[] = {
      {clsKey, "", "KsMedley GipsMediaHandler Class"},
      {clsKey + "\\ProgID", "", "Medley.GipsMediaHandler.1"},
      {clsKey + "\\VersionIndependentProgID", "", "Medley.GipsMediaHandler"},
      {clsKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {clsKey + "\\TypeLib", "", "{45D06C87-66E5-471E-9371-A8ADC9BF02B0}"},
      {"Medley.GipsMediaHandler.1", "", "KsMedley GipsMediaHandler Class"},
      {"Medley.GipsMediaHandler.1\\CLSID", "", "{35930323-C68D-47A6-B757-5C4E70CCC35F}"},
      {"Medley.GipsMediaHandler", "", "KsMedley GipsMediaHandler Class"},
      {"Medley.GipsMediaHandler\\CLSID", "", "{35930323-C68D-47A6-B757-5C4E70CCC35F}"},
      {"Medley.GipsMediaHandler\\CurVer", "", "Medley.GipsMediaHandler.1"},
  };
  for (const Row& row : rows) {
    std::string value;
    HRESULT hr = platform::ReadClassRegistryValue(row.key, row.name, &value);
    std::string what = "registry " + row.key;
    if (*row.name) what.append(" ").append(row.name);
    checks.Expect(SUCCEEDED(hr) && value == row.value, what,
                  "got \"" + value + "\" (" + Hex(hr) + ")");
  }
  std::string server;
  platform::ReadClassRegistryValue(clsKey + "\\InprocServer32", "", &server);
  checks.Expect(SamePath(server, options.modulePath), "registry InprocServer32 names the module",
                "got \"" + server + "\"");
  checks.Expect(platform::ClassRegistryKeyExists(
                    clsKey + "\\Implemented Categories\\{12E45602-3ACF-4907-BEB8-C4FBD9DBB20B}"),
                "registry implemented category");

  BSTR path = nullptr;
  HRESULT hr = QueryPathOfRegTypeLib(LIBID_MEDLEYLib, 4, 2, LOCALE_NEUTRAL, &path);
  std::wstring registered = path ? path : L"";
  SysFreeString(path);
  // The registered path may carry the "\\?\" long-path prefix.
  if (registered.rfind(L"\\\\?\\", 0) == 0) registered.erase(0, 4);
  checks.Expect(SUCCEEDED(hr) && platform::WideEqualsNoCase(registered, options.modulePath),
                "type library 4.2 registered from the module",
                Hex(hr) + " \"" + Narrow(registered.c_str()) + "\"");
}

void CheckUnregistration(Checks& checks, const Options&) {
  CLSID clsid = {};
  checks.Expect(FAILED(CLSIDFromProgID(L"Medley.GipsMediaHandler", &clsid)),
                "unregistered: the ProgID no longer resolves");
  checks.Expect(!platform::ClassRegistryKeyExists(kClassKey),
                "unregistered: the class key is gone");
  checks.Expect(!platform::ClassRegistryKeyExists("Medley.GipsMediaHandler.1") &&
                    !platform::ClassRegistryKeyExists("Medley.GipsMediaHandler"),
                "unregistered: the ProgID keys are gone");
  checks.Expect(platform::ClassRegistryKeyExists("CLSID"), "unregistered: the CLSID key stays");
  ITypeLib* library = nullptr;
  HRESULT hr = LoadRegTypeLib(LIBID_MEDLEYLib, 4, 2, LOCALE_NEUTRAL, &library);
  if (library) library->Release();
  checks.Expect(FAILED(hr), "unregistered: the type library is no longer registered", Hex(hr));
  void* object = nullptr;
  hr = CoCreateInstance(CLSID_GipsMediaHandler, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                        &object);
  checks.ExpectHr(hr, REGDB_E_CLASSNOTREG, "unregistered: CoCreateInstance");
}

}  // namespace wine_tests
