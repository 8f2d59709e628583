#include "platform/trace.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

#include "medley/com_base.h"
#include "platform/wide_text.h"

namespace platform {

namespace {

std::mutex& SinkMutex() {
  static std::mutex mutex;
  return mutex;
}

TraceSink& CurrentSink() {
  static TraceSink sink;
  return sink;
}

// Whether a sink is installed, so that the usual case (no sink, no file)
// returns without taking the lock.
std::atomic<bool> sinkInstalled{false};

const char* TraceFile() {
  static const char* file = std::getenv("MEDLEY_TRACE");
  return file && *file ? file : nullptr;
}

bool IsFlag(char c) { return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Formats one conversion `directive` (from '%' to the conversion letter) taking
// its arguments from `args`.
void FormatOne(std::string& out, const std::string& directive, va_list& args) {
  char conversion = directive.back();
  std::string length;
  size_t pos = directive.size() - 1;
  while (pos > 1 &&
         (directive[pos - 1] == 'h' || directive[pos - 1] == 'l' || directive[pos - 1] == 'z' ||
          directive[pos - 1] == 'j' || directive[pos - 1] == 't' || directive[pos - 1] == 'L'))
    --pos;
  length = directive.substr(pos, directive.size() - 1 - pos);
  std::string head = directive.substr(0, pos);  // "%", flags, width, precision

  // Resolve '*' width and precision from the arguments.
  std::string resolved;
  for (char c : head) {
    if (c == '*')
      resolved += std::to_string(va_arg(args, int));
    else
      resolved += c;
  }

  char buffer[512];
  auto emit = [&](auto value, const std::string& format) {
    int n = std::snprintf(buffer, sizeof buffer, format.c_str(), value);
    if (n < 0) return;
    if (static_cast<size_t>(n) < sizeof buffer) {
      out.append(buffer, static_cast<size_t>(n));
    } else {
      std::string big(static_cast<size_t>(n) + 1, '\0');
      std::snprintf(big.data(), big.size(), format.c_str(), value);
      out.append(big.data(), static_cast<size_t>(n));
    }
  };

  switch (conversion) {
    case 'S':
    case 's':
      if (conversion == 'S' || length == "l") {
        const OLECHAR* wide = va_arg(args, const OLECHAR*);
        std::string narrow = wide ? WideToNarrow(wide) : "(null)";
        emit(narrow.c_str(), resolved + "s");
      } else {
        const char* text = va_arg(args, const char*);
        emit(text ? text : "(null)", resolved + "s");
      }
      return;
    case 'd':
    case 'i':
      if (length == "ll" || length == "j")
        emit(va_arg(args, long long), resolved + "lld");
      else if (length == "l" || length == "z" || length == "t")
        emit(va_arg(args, long), resolved + "ld");
      else
        emit(va_arg(args, int), resolved + "d");
      return;
    case 'u':
    case 'x':
    case 'X':
    case 'o':
      if (length == "ll" || length == "j")
        emit(va_arg(args, unsigned long long), resolved + "ll" + conversion);
      else if (length == "l" || length == "z" || length == "t")
        emit(va_arg(args, unsigned long), resolved + "l" + conversion);
      else
        emit(va_arg(args, unsigned), resolved + conversion);
      return;
    case 'c':
      emit(va_arg(args, int), resolved + "c");
      return;
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
      if (length == "L")
        emit(va_arg(args, long double), resolved + "L" + conversion);
      else
        emit(va_arg(args, double), resolved + conversion);
      return;
    case 'p':
      emit(va_arg(args, void*), resolved + "p");
      return;
    default:
      out += directive;  // unknown conversion: shown as written, no argument taken
      return;
  }
}

}  // namespace

std::string FormatTrace(const char* format, va_list args) {
  std::string out;
  if (!format) return out;
  va_list copy;
  va_copy(copy, args);
  for (const char* p = format; *p;) {
    if (*p != '%') {
      out += *p++;
      continue;
    }
    if (p[1] == '%') {
      out += '%';
      p += 2;
      continue;
    }
    const char* start = p++;
    while (IsFlag(*p)) ++p;
    if (*p == '*')
      ++p;
    else
      while (IsDigit(*p)) ++p;
    if (*p == '.') {
      ++p;
      if (*p == '*')
        ++p;
      else
        while (IsDigit(*p)) ++p;
    }
    while (*p == 'h' || *p == 'l' || *p == 'z' || *p == 'j' || *p == 't' || *p == 'L') ++p;
    if (!*p) {  // a lone '%' at the end
      out.append(start);
      break;
    }
    ++p;
    FormatOne(out, std::string(start, p), copy);
  }
  va_end(copy);
  return out;
}

void TraceV(const char* format, va_list args) {
  const char* file = TraceFile();
  if (!file && !sinkInstalled.load(std::memory_order_acquire)) return;
  std::lock_guard<std::mutex> lock(SinkMutex());
  TraceSink& sink = CurrentSink();
  if (!sink && !file) return;
  std::string line = FormatTrace(format, args);
  if (sink) sink(line);
  if (file) {
    if (FILE* f = std::fopen(file, "a")) {
      std::fputs(line.c_str(), f);
      if (line.empty() || line.back() != '\n') std::fputc('\n', f);
      std::fclose(f);
    }
  }
}

void Trace(const char* format, ...) {
  va_list args;
  va_start(args, format);
  TraceV(format, args);
  va_end(args);
}

ScopedTraceSinkForTesting::ScopedTraceSinkForTesting(TraceSink sink) {
  std::lock_guard<std::mutex> lock(SinkMutex());
  previous_ = std::exchange(CurrentSink(), std::move(sink));
  sinkInstalled.store(static_cast<bool>(CurrentSink()), std::memory_order_release);
}

ScopedTraceSinkForTesting::~ScopedTraceSinkForTesting() {
  std::lock_guard<std::mutex> lock(SinkMutex());
  CurrentSink() = std::move(previous_);
  sinkInstalled.store(static_cast<bool>(CurrentSink()), std::memory_order_release);
}

}  // namespace platform
