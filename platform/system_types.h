// Windows scalar, handle and calling-convention names that the platform's
// timer, message and multimedia headers share. On Windows they come from the
// system headers.
#pragma once

#include "medley/com_base.h"

#if !defined(_WIN32)

#include <cstdint>

#define CALLBACK
#define WINAPI

using UINT_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// Windows do not exist on this platform: every HWND argument must be null.
struct HWND__;
using HWND = HWND__*;

#endif  // !_WIN32
