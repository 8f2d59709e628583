#include "platform/wide_text.h"

#include <limits>

namespace platform {

namespace {

int DigitValue(OLECHAR c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void AppendUtf16(OleString& out, char32_t cp) {
  if (cp < 0x10000) {
    out += static_cast<OLECHAR>(cp);
  } else {
    cp -= 0x10000;
    out += static_cast<OLECHAR>(0xD800 + (cp >> 10));
    out += static_cast<OLECHAR>(0xDC00 + (cp & 0x3FF));
  }
}

}  // namespace

size_t WideLength(const OLECHAR* text) {
  if (!text) return 0;
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

int WideCompareNoCaseN(const OLECHAR* a, const OLECHAR* b, size_t count) {
  static const OLECHAR kEmpty[1] = {0};
  if (!a) a = kEmpty;
  if (!b) b = kEmpty;
  for (size_t i = 0; i < count; ++i) {
    OLECHAR ca = FoldAsciiCase(a[i]);
    OLECHAR cb = FoldAsciiCase(b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
  return 0;
}

int WideCompareNoCase(const OLECHAR* a, const OLECHAR* b) {
  return WideCompareNoCaseN(a, b, std::numeric_limits<size_t>::max());
}

std::int32_t WideToLong(const OLECHAR* text) {
  if (!text) return 0;
  while (IsWideSpace(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = (*text++ == '-');
  std::int64_t value = 0;
  bool overflow = false;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (!overflow) {
      value = value * 10 + (*text - '0');
      if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) overflow = true;
    }
  }
  if (negative) value = -value;
  if (overflow || value > std::numeric_limits<std::int32_t>::max())
    return negative ? std::numeric_limits<std::int32_t>::min()
                    : std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

std::uint32_t WideToUnsignedLong(const OLECHAR* text, const OLECHAR** end, int base) {
  const OLECHAR* start = text;
  if (end) *end = start;
  if (!text || base < 0 || base == 1 || base > 36) return 0;
  while (IsWideSpace(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = (*text++ == '-');
  if ((base == 0 || base == 16) && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
      DigitValue(text[2]) < 16) {
    text += 2;
    base = 16;
  } else if (base == 0) {
    base = text[0] == '0' ? 8 : 10;
  }
  std::uint64_t value = 0;
  bool overflow = false;
  const OLECHAR* digits = text;
  for (int d; (d = DigitValue(*text)) < base; ++text) {
    value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    if (value > std::numeric_limits<std::uint32_t>::max()) {
      overflow = true;
      value = std::numeric_limits<std::uint32_t>::max();
    }
  }
  if (text == digits) return 0;  // nothing consumed: *end stays at the start
  if (end) *end = text;
  if (overflow) return std::numeric_limits<std::uint32_t>::max();
  std::uint32_t result = static_cast<std::uint32_t>(value);
  return negative ? static_cast<std::uint32_t>(0u - result) : result;
}

std::string WideToNarrow(OleStringView text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      char32_t low = text[++i];
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::string WideToNarrow(const OLECHAR* text) {
  if (!text) return {};
  return WideToNarrow(OleStringView(text, WideLength(text)));
}

OleString NarrowToWide(std::string_view text) {
  OleString out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    int extra = lead < 0x80             ? 0
                : (lead & 0xE0) == 0xC0 ? 1
                : (lead & 0xF0) == 0xE0 ? 2
                : (lead & 0xF8) == 0xF0 ? 3
                                        : -1;
    if (extra < 0 || i + static_cast<size_t>(extra) >= text.size()) {
      AppendUtf16(out, kReplacement);
      ++i;
      continue;
    }
    char32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
    bool valid = true;
    for (int k = 1; k <= extra; ++k) {
      unsigned char c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr char32_t kMinimum[4] = {0, 0x80, 0x800, 0x10000};
    if (!valid || cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      AppendUtf16(out, kReplacement);
      ++i;
      continue;
    }
    AppendUtf16(out, cp);
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}

OleString AsciiToWide(std::string_view text) {
  OleString out;
  out.reserve(text.size());
  for (char c : text) out += static_cast<OLECHAR>(static_cast<unsigned char>(c));
  return out;
}

}  // namespace platform
