// The COM task allocator: memory that one side allocates and the other
// frees (media types, property page lists). The system's own on Windows;
// the C heap elsewhere.
#pragma once

#include <cstddef>

#include "medley/com_base.h"

#if !defined(_WIN32)

// Null when memory runs out. CoTaskMemFree of null does nothing.
void* CoTaskMemAlloc(std::size_t size);
void CoTaskMemFree(void* block);

#endif  // !_WIN32
