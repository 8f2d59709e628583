// Feeds format strings to the trace formatter: literal text (any bytes but
// NUL, a '%' doubled), conversions with flags, width and precision the
// input chooses, each given an argument of its type, conversions the
// formatter does not know, and a lone '%' at the end. The formatter must
// never read an argument a conversion does not take.
//
// Input: text bytes; a '%' byte starts a conversion read from the next
// four bytes: flags (bits 0-4), width kind (bits 5-6: none, digits, '*'),
// precision kind (byte 1 bits 0-1), the conversion (byte 1 bits 2-7), the
// width and precision values (bytes 2 and 3).
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/trace.h"
#include "platform/wide_text.h"

namespace {

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string line = platform::FormatTrace(format, args);
  va_end(args);
  return line;
}

enum class Argument { kInt, kLong, kLongLong, kDouble, kLongDouble, kText, kWide, kPointer, kNone };

struct Conversion {
  const char* text;
  Argument argument;
};

constexpr Conversion kConversions[] = {
    {"d", Argument::kInt},        {"i", Argument::kInt},        {"u", Argument::kInt},
    {"x", Argument::kInt},        {"X", Argument::kInt},        {"o", Argument::kInt},
    {"c", Argument::kInt},        {"hd", Argument::kInt},       {"hhx", Argument::kInt},
    {"ld", Argument::kLong},      {"lu", Argument::kLong},      {"zu", Argument::kLong},
    {"td", Argument::kLong},      {"lld", Argument::kLongLong}, {"jx", Argument::kLongLong},
    {"llX", Argument::kLongLong}, {"f", Argument::kDouble},     {"e", Argument::kDouble},
    {"G", Argument::kDouble},     {"a", Argument::kDouble},     {"Lf", Argument::kLongDouble},
    {"s", Argument::kText},       {"S", Argument::kWide},       {"ls", Argument::kWide},
    {"p", Argument::kPointer},    {"k", Argument::kNone},       {"y", Argument::kNone},
    {"lq", Argument::kNone},      {"%", Argument::kNone},
};
constexpr std::size_t kConversionCount = sizeof kConversions / sizeof kConversions[0];

class Formatter {
 public:
  Formatter(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  // One conversion from the control bytes at `at`, formatted on its own
  // with its argument, and the literal text before it.
  std::string Next(std::size_t& at) {
    std::string format;
    while (at < size_ && data_[at] != '%') {
      if (data_[at] != 0) format += static_cast<char>(data_[at]);
      ++at;
    }
    if (at >= size_) return Format(format.c_str());
    ++at;
    if (size_ - at < 4) {
      format += '%';  // a lone '%' at the end
      at = size_;
      return Format(format.c_str());
    }
    const std::uint8_t* control = data_ + at;
    at += 4;
    format += '%';
    static const char kFlags[] = "-+ #0";
    for (int bit = 0; bit < 5; ++bit)
      if (control[0] & (1 << bit)) format += kFlags[bit];
    const int widthKind = (control[0] >> 5) & 3;
    const int width = control[2] % 200;
    if (widthKind == 1) format += std::to_string(width);
    if (widthKind == 2) format += '*';
    const int precisionKind = control[1] & 3;
    const int precision = control[3] % 200;
    if (precisionKind == 1) format += '.' + std::to_string(precision);
    if (precisionKind == 2) format += ".*";
    const Conversion& conversion = kConversions[(control[1] >> 2) % kConversionCount];
    format += conversion.text;
    return WithArguments(format, conversion.argument, widthKind == 2 ? width - 100 : kNoStar,
                         precisionKind == 2 ? precision - 100 : kNoStar, at);
  }

 private:
  static constexpr int kNoStar = 1 << 30;

  template <typename... Stars>
  std::string Call(const std::string& format, Argument argument, std::size_t at, Stars... stars) {
    const std::uint8_t* value = data_ + (at < size_ ? at : 0);
    const std::size_t left = at < size_ ? size_ - at : 0;
    std::uint64_t bits = 0;
    std::memcpy(&bits, value, left < sizeof bits ? left : sizeof bits);
    double real = 0;
    std::memcpy(&real, &bits, sizeof real);
    switch (argument) {
      case Argument::kInt:
        return Format(format.c_str(), stars..., static_cast<int>(bits));
      case Argument::kLong:
        return Format(format.c_str(), stars..., static_cast<long>(bits));
      case Argument::kLongLong:
        return Format(format.c_str(), stars..., static_cast<long long>(bits));
      case Argument::kDouble:
        return Format(format.c_str(), stars..., real);
      case Argument::kLongDouble:
        return Format(format.c_str(), stars..., static_cast<long double>(real));
      case Argument::kText: {
        const std::string text(reinterpret_cast<const char*>(value), left < 24 ? left : 24);
        return Format(format.c_str(), stars..., (bits & 1) ? nullptr : text.c_str());
      }
      case Argument::kWide: {
        const platform::OleString text = platform::NarrowToWide(
            std::string(reinterpret_cast<const char*>(value), left < 24 ? left : 24));
        return Format(format.c_str(), stars..., (bits & 1) ? nullptr : text.c_str());
      }
      case Argument::kPointer:
        return Format(format.c_str(), stars..., reinterpret_cast<void*>(bits));
      case Argument::kNone:
        return Format(format.c_str(), stars...);
    }
    return {};
  }

  std::string WithArguments(const std::string& format, Argument argument, int width, int precision,
                            std::size_t at) {
    if (width != kNoStar && precision != kNoStar)
      return Call(format, argument, at, width, precision);
    if (width != kNoStar) return Call(format, argument, at, width);
    if (precision != kNoStar) return Call(format, argument, at, precision);
    return Call(format, argument, at);
  }

  const std::uint8_t* data_;
  std::size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Formatter formatter(data, size);
  std::string line;
  for (std::size_t at = 0; at < size;) line += formatter.Next(at);
  (void)Format(nullptr);
  return 0;
}
