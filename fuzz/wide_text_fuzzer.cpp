// Feeds bytes to the text conversions between UTF-16 and the 8-bit code
// page and to the C-library-style wide helpers. Round trips: valid UTF-16
// survives narrowing and widening unchanged; any 8-bit text widens to
// UTF-16 that narrows back to itself when it was valid UTF-8, and in any
// case converts to a fixed point after one more round.
//
// Input: the bytes read as 8-bit text and, in pairs, as UTF-16 units.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/wide_text.h"

namespace {

bool IsValidUtf16(platform::OleStringView text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

// Whether the bytes are UTF-8 as the standard allows it: shortest forms,
// no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t extra = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3, code = lead & 0x07;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    if ((extra == 2 && code < 0x800) || (extra == 3 && code < 0x10000) || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF))
      return false;
    i += extra + 1;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view narrow(reinterpret_cast<const char*>(data), size);
  const platform::OleString widened = platform::NarrowToWide(narrow);
  if (!IsValidUtf16(widened)) __builtin_trap();
  const std::string back = platform::WideToNarrow(widened);
  if (IsValidUtf8(narrow) && back != narrow) __builtin_trap();
  if (platform::WideToNarrow(platform::NarrowToWide(back)) != back) __builtin_trap();

  platform::OleString wide(size / 2, u'\0');
  for (std::size_t i = 0; i < wide.size(); ++i)
    wide[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  const std::string narrowed = platform::WideToNarrow(wide);
  if (!IsValidUtf8(narrowed)) __builtin_trap();
  const platform::OleString rewidened = platform::NarrowToWide(narrowed);
  if (IsValidUtf16(wide) && rewidened != wide) __builtin_trap();

  // The C-library-style helpers read up to the first NUL.
  const OLECHAR* terminated = wide.c_str();
  (void)platform::WideToLong(terminated);
  const OLECHAR* end = nullptr;
  const int base = size > 0 ? data[0] % 37 : 10;  // 0 (by prefix) or 2..36
  (void)platform::WideToUnsignedLong(terminated, &end, base == 1 ? 0 : base);
  if (end < terminated || end > terminated + platform::WideLength(terminated)) __builtin_trap();
  const std::size_t half = platform::WideLength(terminated) / 2;
  const platform::OleString head(terminated, half);
  (void)platform::WideCompareNoCase(head.c_str(), terminated + half);
  (void)platform::WideCompareNoCaseN(head.c_str(), terminated + half, size & 15);
  return 0;
}
