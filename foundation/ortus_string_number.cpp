// Ortus::String number parsing (toNumber, toNumber64) and the integer
// appends, which format in the string's NumberFormat.
#include <cstdint>
#include <cstring>

#include "foundation/string_block.h"
#include "medley/ortus_string.h"

namespace Ortus {

namespace {

struct ParsedNumber {
  bool nothingLeft = false;  // no digits after the sign and prefix
  bool valid = false;
  bool negative = false;
  std::uint64_t magnitude = 0;  // wraps modulo 2^64
};

bool IsBlank(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

// Reads `length` characters at `text` (white space at either end ignored).
ParsedNumber ParseNumber(const char* text, std::uint32_t length, int base) {
  ParsedNumber result;
  while (length > 0 && IsBlank(*text)) {
    ++text;
    --length;
  }
  while (length > 0 && IsBlank(text[length - 1])) --length;
  std::uint32_t i = 0;
  if (i < length && (text[i] == '-' || text[i] == '+')) {
    result.negative = text[i] == '-';
    ++i;
  }
  if ((base == 0 || base == 16) && length - i >= 2 && text[i] == '0' &&
      (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  } else if (base == 0) {
    base = i < length && text[i] == '0' ? 8 : 10;
  }
  if (i == length) {
    result.nothingLeft = true;
    return result;
  }
  std::uint64_t value = 0;
  for (; i < length; ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base > 10 && c >= 'a' && c <= 'z') {
      digit = c - 'a' + 10;
    } else if (base > 10 && c >= 'A' && c <= 'Z') {
      digit = c - 'A' + 10;
    } else {
      return result;
    }
    // A digit equal to the base is accepted ('8' in base 8, 'g' in base 16).
    if (digit > base) return result;
    value = value * static_cast<std::uint64_t>(static_cast<std::int64_t>(base)) +
            static_cast<std::uint64_t>(digit);
  }
  result.valid = true;
  result.magnitude = value;
  return result;
}

// Writes `value` in `base` (lowercase letters) backwards from `end`;
// returns the first character written.
char* FormatDigits(std::uint64_t value, unsigned base, char* end) {
  char* p = end;
  do {
    const unsigned digit = static_cast<unsigned>(value % base);
    *--p = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
    value /= base;
  } while (value != 0);
  return p;
}

unsigned EffectiveBase(const NumberFormat& format) {
  return format.base >= 2 && format.base <= 36 ? format.base : 10;
}

}  // namespace

int String::toNumber(int defaultValue, int base, bool* ok) const {
  if (ok) *ok = false;
  if (isEmpty()) return defaultValue;
  const ParsedNumber parsed = ParseNumber(Ptr(), Length(), base);
  if (!parsed.nothingLeft && !parsed.valid) return defaultValue;
  auto value = static_cast<std::uint32_t>(parsed.magnitude);
  if (parsed.negative) value = 0u - value;
  if (ok) *ok = true;
  return static_cast<int>(value);
}

std::int64_t String::toNumber64(int base, std::int64_t defaultValue) const {
  if (isEmpty()) return defaultValue;
  const ParsedNumber parsed = ParseNumber(Ptr(), Length(), base);
  if (!parsed.valid) return defaultValue;
  const std::uint64_t value = parsed.negative ? 0u - parsed.magnitude : parsed.magnitude;
  return static_cast<std::int64_t>(value);
}

String& String::AppendSigned(std::int64_t value) {
  const NumberFormat format = block_ ? block_->format : kDefaultNumberFormat;
  const bool negative = value < 0;
  const std::uint64_t magnitude =
      negative ? 0u - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char digitBuffer[72];
  char* const digitsEnd = digitBuffer + sizeof digitBuffer;
  const char* digits = FormatDigits(magnitude, EffectiveBase(format), digitsEnd);
  const unsigned digitCount = static_cast<unsigned>(digitsEnd - digits);
  const unsigned total = digitCount + (negative ? 1u : 0u);
  const unsigned pad = format.width > total ? format.width - total : 0u;

  char text[sizeof digitBuffer + 256];
  unsigned n = 0;
  if (format.fill) {
    if (negative) text[n++] = '-';
    std::memset(text + n, format.fill, pad);
    n += pad;
  } else {
    std::memset(text + n, ' ', pad);
    n += pad;
    if (negative) text[n++] = '-';
  }
  std::memcpy(text + n, digits, digitCount);
  return AppendBytes(text, n + digitCount);
}

String& String::AppendUnsigned(std::uint64_t value) {
  const NumberFormat format = block_ ? block_->format : kDefaultNumberFormat;
  char digitBuffer[72];
  char* const digitsEnd = digitBuffer + sizeof digitBuffer;
  const char* digits = FormatDigits(value, EffectiveBase(format), digitsEnd);
  const unsigned digitCount = static_cast<unsigned>(digitsEnd - digits);
  // Unsigned values pad to width + 1 characters in all.
  const unsigned pad = format.width > digitCount ? format.width - digitCount + 1 : 0u;

  char text[sizeof digitBuffer + 257];
  std::memset(text, format.fill ? format.fill : ' ', pad);
  std::memcpy(text + pad, digits, digitCount);
  return AppendBytes(text, pad + digitCount);
}

String& String::operator<<(int value) { return AppendSigned(value); }
String& String::operator<<(std::int64_t value) { return AppendSigned(value); }
String& String::operator<<(unsigned value) { return AppendUnsigned(value); }
String& String::operator<<(std::uint64_t value) { return AppendUnsigned(value); }

}  // namespace Ortus
