// Ortus::String search and replace, and the plain functions strndup and
// strcasestr.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/string_block.h"
#include "medley/ortus_string.h"

namespace Ortus {

namespace {

bool Matches(const char* at, const char* needle, std::uint32_t length,
             case_sensitivity_t sensitivity) {
  if (sensitivity != CASE_INSENSITIVE) return std::memcmp(at, needle, length) == 0;
  for (std::uint32_t i = 0; i < length; ++i) {
    if (std::tolower(static_cast<unsigned char>(at[i])) !=
        std::tolower(static_cast<unsigned char>(needle[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

int String::FindBytes(const char* needle, unsigned length, unsigned start,
                      case_sensitivity_t sensitivity) const {
  if (isNull() || !needle || start >= Length()) return -1;
  if (length == 0) return 0;
  const std::uint32_t size = Length();
  if (length > size - start) return -1;
  const char* chars = Ptr();
  for (std::uint32_t at = start; at <= size - length; ++at) {
    if (Matches(chars + at, needle, length, sensitivity)) return static_cast<int>(at - start);
  }
  return -1;
}

int String::rFindBytes(const char* needle, unsigned length, unsigned start,
                       case_sensitivity_t sensitivity) const {
  if (isNull() || !needle || start >= Length()) return -1;
  const std::uint32_t size = Length();
  if (length == 0) return static_cast<int>(size - start);
  if (length > size - start) return -1;
  const char* chars = Ptr();
  for (std::uint32_t at = size - length;; --at) {
    if (Matches(chars + at, needle, length, sensitivity)) return static_cast<int>(at - start);
    if (at == start) return -1;
  }
}

int String::Find(char needle, unsigned start, case_sensitivity_t sensitivity) const {
  return FindBytes(&needle, 1, start, sensitivity);
}

int String::Find(const char* needle, unsigned start, case_sensitivity_t sensitivity) const {
  if (!needle) return -1;
  return FindBytes(needle, static_cast<unsigned>(std::strlen(needle)), start, sensitivity);
}

int String::Find(const String& needle, unsigned start, case_sensitivity_t sensitivity) const {
  if (needle.isNull()) return -1;
  return FindBytes(needle.Ptr(), needle.Length(), start, sensitivity);
}

int String::rFind(char needle, unsigned start, case_sensitivity_t sensitivity) const {
  return rFindBytes(&needle, 1, start, sensitivity);
}

int String::rFind(const char* needle, unsigned start, case_sensitivity_t sensitivity) const {
  // An empty text needle is never found backwards; an empty String needle is
  // found at the end.
  if (!needle || !*needle) return -1;
  return rFindBytes(needle, static_cast<unsigned>(std::strlen(needle)), start, sensitivity);
}

int String::rFind(const String& needle, unsigned start, case_sensitivity_t sensitivity) const {
  if (needle.isNull()) return -1;
  return rFindBytes(needle.Ptr(), needle.Length(), start, sensitivity);
}

String& String::ReplaceBytes(const char* find, unsigned findLength, const char* replacement,
                             unsigned replacementLength, case_sensitivity_t sensitivity,
                             unsigned start, bool all) {
  if (isNull() || !find || findLength == 0 || !replacement) return *this;
  // Private copies: the texts may lie in this string's own block, which the
  // edits below move.
  const std::string findText(find, findLength);
  const std::string replacementText(replacement, replacementLength);
  std::uint32_t from = start;
  for (;;) {
    const int found = FindBytes(findText.data(), findLength, from, sensitivity);
    if (found < 0) break;
    const std::uint32_t at = from + static_cast<std::uint32_t>(found);
    const unsigned extra = replacementLength > findLength ? replacementLength - findLength : 0;
    if (!Detach(extra)) break;
    char* chars = block_->Inline();
    const std::uint32_t length = block_->end;
    std::memmove(chars + at + replacementLength, chars + at + findLength, length - at - findLength);
    std::memcpy(chars + at, replacementText.data(), replacementLength);
    const std::uint32_t newLength = length - findLength + replacementLength;
    if (newLength < length) std::memset(chars + newLength, 0, length - newLength);
    block_->end = newLength;
    from = at + replacementLength;
    if (!all) break;
  }
  return *this;
}

String& String::Replace(const String& find, const String& replacement,
                        case_sensitivity_t sensitivity, unsigned start, bool all) {
  if (find.isNull() || replacement.isNull()) return *this;
  return ReplaceBytes(find.Ptr(), find.Length(), replacement.Ptr(), replacement.Length(),
                      sensitivity, start, all);
}

String& String::Replace(const char* find, const char* replacement, case_sensitivity_t sensitivity,
                        unsigned start, bool all) {
  if (!find || !replacement) return *this;
  return ReplaceBytes(find, static_cast<unsigned>(std::strlen(find)), replacement,
                      static_cast<unsigned>(std::strlen(replacement)), sensitivity, start, all);
}

char* strndup(const char* text, unsigned limit) {
  if (!text) return nullptr;
  std::size_t length = 0;
  while (length < limit && text[length] != '\0') ++length;
  auto* copy = static_cast<char*>(std::malloc(length + 1));
  if (!copy) return nullptr;
  std::memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

const char* strcasestr(const char* haystack, const char* needle) {
  if (!haystack || !needle || !*needle) return nullptr;
  auto upper = [](char c) { return std::toupper(static_cast<unsigned char>(c)); };
  const char* match = nullptr;
  std::size_t matched = 0;
  for (const char* p = haystack; *p; ++p) {
    if (!match) {
      if (upper(*p) != upper(needle[0])) continue;
      match = p;
      matched = 1;
    } else if (upper(*p) == upper(needle[matched])) {
      ++matched;
    } else {
      // The mismatching character is not tried as a new start.
      match = nullptr;
      continue;
    }
    if (needle[matched] == '\0') return match;
  }
  return nullptr;
}

}  // namespace Ortus
