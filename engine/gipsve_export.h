// GIPSVE_API marks the functions that the voice engine library exports.
//
// The build chooses the form: it defines GIPSVE_DLL_EXPORT while compiling
// the engine library on Windows and GIPSVE_DLL_IMPORT for the code that
// links against it there. Without either (every Linux build) the functions
// get default visibility, since everything else is hidden.
#pragma once

#if defined(GIPSVE_DLL_EXPORT)
#define GIPSVE_API __declspec(dllexport)
#elif defined(GIPSVE_DLL_IMPORT)
#define GIPSVE_API __declspec(dllimport)
#else
#define GIPSVE_API __attribute__((visibility("default")))
#endif
