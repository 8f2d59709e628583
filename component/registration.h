// The class's registration data, and writing or removing it:
//
//   Medley.GipsMediaHandler.1        "KsMedley GipsMediaHandler Class"
//     CLSID                          {35930323-C68D-47A6-B757-5C4E70CCC35F}
//   Medley.GipsMediaHandler          "KsMedley GipsMediaHandler Class"
//     CLSID                          {35930323-...}
//     CurVer                         Medley.GipsMediaHandler.1
//   CLSID\{35930323-...}             "KsMedley GipsMediaHandler Class"
//     ProgID                         Medley.GipsMediaHandler.1
//     VersionIndependentProgID       Medley.GipsMediaHandler
//     InprocServer32                 the module's path; ThreadingModel "Apartment"
//     TypeLib                        {45D06C87-66E5-471E-9371-A8ADC9BF02B0}
//     Implemented Categories\{12E45602-3ACF-4907-BEB8-C4FBD9DBB20B}
//
// The class key is replaced whole when registering and removed whole when
// unregistering; the CLSID key itself is never removed. A ProgID key loses
// the subkeys written here and goes when nothing else is left under it.
#pragma once

#include <string_view>

#include "medley/com_base.h"
#include "platform/registry.h"

namespace component {

inline constexpr std::string_view kClassDescription = "KsMedley GipsMediaHandler Class";
inline constexpr std::string_view kThreadingModel = "Apartment";

HRESULT WriteClassRegistration(platform::ClassRegistryEditor& registry,
                               std::string_view modulePath);
HRESULT RemoveClassRegistration(platform::ClassRegistryEditor& registry);

// What DllRegisterServer and DllUnregisterServer do: the class data for this
// module's own path, then the type library.
HRESULT RegisterServer();
HRESULT UnregisterServer();

}  // namespace component
