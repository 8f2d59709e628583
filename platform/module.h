// What a COM server module knows about itself: the file it was loaded from
// and its type library. On Windows the type library is embedded in the
// module as resource 1 (TYPELIB) and registered with the system; elsewhere
// there is no type library machinery and these calls succeed without effect.
#pragma once

#include <string>

#include "medley/com_base.h"

namespace platform {

// The path of the module (shared library or DLL) holding this code, or of
// the program when it is linked in statically; UTF-8. Empty when the system
// cannot tell.
std::string ModuleFileName();

// Registers the type library embedded in this module (its Interface and
// TypeLib keys). Failures are the system's codes.
HRESULT RegisterModuleTypeLibrary();
// Removes the registration of type library `libid` version major.minor;
// S_OK when it was not registered.
HRESULT UnregisterTypeLibrary(const GUID& libid, WORD major, WORD minor);

}  // namespace platform
