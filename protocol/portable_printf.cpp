// portable_snprintf and portable_vsnprintf: the standard library's
// conforming formatter under the component's exported names.
#include <cstdio>

#include "medley/auto_char_ptr.h"

int portable_vsnprintf(char* buffer, std::size_t size, const char* format, va_list arguments) {
  if (!format) return -1;
  return std::vsnprintf(size ? buffer : nullptr, size, format, arguments);
}

int portable_snprintf(char* buffer, std::size_t size, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const int length = portable_vsnprintf(buffer, size, format, arguments);
  va_end(arguments);
  return length;
}
