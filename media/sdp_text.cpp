#include "media/sdp_text.h"

#include <algorithm>
#include <limits>

namespace media {

using platform::OleStringView;

namespace {

bool IsDigit(OLECHAR c) { return c >= '0' && c <= '9'; }

// Skips white space and a sign; true and the sign when a digit follows.
bool StartNumber(OleStringView text, size_t* i, bool* negative) {
  while (*i < text.size() && platform::IsWideSpace(text[*i])) ++*i;
  *negative = false;
  if (*i < text.size() && (text[*i] == '+' || text[*i] == '-')) *negative = text[(*i)++] == '-';
  return *i < text.size() && IsDigit(text[*i]);
}

// The digits at *i, capped just above the 32-bit range.
std::uint64_t ReadDigits(OleStringView text, size_t* i) {
  constexpr std::uint64_t kCap = std::uint64_t{1} << 32;
  std::uint64_t magnitude = 0;
  for (; *i < text.size() && IsDigit(text[*i]); ++*i)
    magnitude = std::min(magnitude * 10 + static_cast<unsigned>(text[*i] - '0'), kCap);
  return magnitude;
}

}  // namespace

bool ReadUnsigned(OleStringView text, size_t* position, std::uint32_t* value) {
  size_t i = *position;
  bool negative = false;
  if (!StartNumber(text, &i, &negative)) return false;
  std::uint64_t magnitude = ReadDigits(text, &i);
  if (magnitude > std::numeric_limits<std::uint32_t>::max()) {
    *value = std::numeric_limits<std::uint32_t>::max();
  } else {
    auto result = static_cast<std::uint32_t>(magnitude);
    *value = negative ? 0u - result : result;
  }
  *position = i;
  return true;
}

bool ReadSigned(OleStringView text, size_t* position, LONG* value) {
  size_t i = *position;
  bool negative = false;
  if (!StartNumber(text, &i, &negative)) return false;
  auto magnitude = static_cast<std::int64_t>(ReadDigits(text, &i));
  *value = static_cast<LONG>(std::clamp<std::int64_t>(negative ? -magnitude : magnitude,
                                                      std::numeric_limits<LONG>::min(),
                                                      std::numeric_limits<LONG>::max()));
  *position = i;
  return true;
}

OleStringView TrimSpaces(OleStringView text) {
  while (!text.empty() && platform::IsWideSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && platform::IsWideSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::vector<std::uint32_t> FormatListNumbers(OleStringView formatList) {
  std::vector<std::uint32_t> numbers;
  numbers.reserve(formatList.size() / 2 + 1);
  size_t i = 0;
  while (i < formatList.size()) {
    while (i < formatList.size() && platform::IsWideSpace(formatList[i])) ++i;
    size_t start = i;
    while (i < formatList.size() && !platform::IsWideSpace(formatList[i])) ++i;
    if (i == start) break;
    size_t position = 0;
    std::uint32_t number = 0;
    if (ReadUnsigned(formatList.substr(start, i - start), &position, &number))
      numbers.push_back(number);
  }
  return numbers;
}

}  // namespace media
