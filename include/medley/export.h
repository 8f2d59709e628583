// Marks the classes and functions that the component exports to its host.
#pragma once

#if defined(_WIN32)
#if defined(MEDLEY_BUILDING)
#define MEDLEY_API __declspec(dllexport)
#else
#define MEDLEY_API __declspec(dllimport)
#endif
#define MEDLEY_C_API extern "C" MEDLEY_API
#else
#define MEDLEY_API __attribute__((visibility("default")))
#define MEDLEY_C_API extern "C" MEDLEY_API
#endif
