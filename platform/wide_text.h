// Text helpers over 16-bit OLECHAR units, with the semantics of the C
// library's wide functions (_wcsicmp, _wcsnicmp, _wtol, _wtoi, wcstoul) on
// every platform, and conversion between UTF-16 and the 8-bit code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "medley/com_base.h"

namespace platform {

using OleString = std::basic_string<OLECHAR>;
using OleStringView = std::basic_string_view<OLECHAR>;

// Length in units up to the terminator; 0 for null.
size_t WideLength(const OLECHAR* text);

// Case-insensitive comparison (ASCII letters fold), as _wcsicmp: negative,
// zero or positive. Null reads as the empty string.
int WideCompareNoCase(const OLECHAR* a, const OLECHAR* b);
// As _wcsnicmp: compares at most `count` units.
int WideCompareNoCaseN(const OLECHAR* a, const OLECHAR* b, size_t count);
// Inline: codec, attribute and parameter names are compared this way many
// times per offer or answer.
inline OLECHAR FoldAsciiCase(OLECHAR c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<OLECHAR>(c - 'A' + 'a') : c;
}
inline bool WideEqualsNoCase(OleStringView a, OleStringView b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) return false;
  return true;
}

// As _wtol/_wtoi: leading white space, optional sign, decimal digits; 0 when
// there are none; clamped to the 32-bit range on overflow. Null gives 0.
std::int32_t WideToLong(const OLECHAR* text);
inline int WideToInt(const OLECHAR* text) { return WideToLong(text); }

// As wcstoul with a 32-bit unsigned long: leading white space, optional
// sign, digits of `base` (0 = by prefix, or 2..36). `end` receives the
// position after the last unit consumed, or `text` when nothing was.
// Overflow gives 0xFFFFFFFF; a minus sign negates modulo 2^32.
std::uint32_t WideToUnsignedLong(const OLECHAR* text, const OLECHAR** end, int base);

inline bool IsWideSpace(OLECHAR c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// UTF-16 to the 8-bit code page (UTF-8 on Linux). Unpaired surrogates become
// U+FFFD.
std::string WideToNarrow(OleStringView text);
std::string WideToNarrow(const OLECHAR* text);
// The 8-bit code page to UTF-16. Invalid sequences become U+FFFD.
OleString NarrowToWide(std::string_view text);

// ASCII text widened unit by unit (for literals in code that builds SDP).
OleString AsciiToWide(std::string_view text);

}  // namespace platform
