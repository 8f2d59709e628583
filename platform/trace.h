// The one trace hook. Operations pass printf-style lines ("Class::Method, detail")
// to it; by default it discards them. Setting MEDLEY_TRACE to a file name
// appends them to that file. "%S" formats a wide (OLECHAR) string.
// No behaviour depends on tracing.
#pragma once

#include <cstdarg>
#include <functional>
#include <string>

namespace platform {

void Trace(const char* format, ...);
void TraceV(const char* format, va_list args);

// Formats as Trace does; exposed for the trace sink and its tests.
std::string FormatTrace(const char* format, va_list args);

using TraceSink = std::function<void(const std::string& line)>;

// Routes trace lines to `sink` until the returned guard is destroyed; the
// previous sink is then restored. For tests that check trace texts.
class ScopedTraceSinkForTesting {
 public:
  explicit ScopedTraceSinkForTesting(TraceSink sink);
  ~ScopedTraceSinkForTesting();
  ScopedTraceSinkForTesting(const ScopedTraceSinkForTesting&) = delete;
  ScopedTraceSinkForTesting& operator=(const ScopedTraceSinkForTesting&) = delete;

 private:
  TraceSink previous_;
};

}  // namespace platform
