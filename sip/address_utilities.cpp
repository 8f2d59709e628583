#include "sip/address_utilities.h"

namespace sip {

namespace {

bool StartsWith(OleStringView text, const char* prefix) {
  size_t i = 0;
  for (; prefix[i]; ++i)
    if (i >= text.size() || text[i] != static_cast<OLECHAR>(prefix[i])) return false;
  return true;
}

}  // namespace

bool IsPrivateAddress(OleStringView address) {
  if (StartsWith(address, "192.168.")) return true;
  if (StartsWith(address, "10.")) return true;
  if (StartsWith(address, "172.")) {
    OleString second(address.substr(4, 2));
    int value = platform::WideToInt(second.c_str());
    return value >= 16 && value <= 31;
  }
  return false;
}

bool IsLinkLocalAddress(OleStringView address) { return StartsWith(address, "169.254."); }

bool IsPrivateOrLinkLocal(OleStringView address) {
  return IsPrivateAddress(address) || IsLinkLocalAddress(address);
}

bool FirstPublicAddress(const std::vector<OleString>& addresses, OleString* address) {
  for (const OleString& candidate : addresses) {
    if (!IsPrivateOrLinkLocal(candidate)) {
      if (address) *address = candidate;
      return true;
    }
  }
  return false;
}

bool SplitWordsAndPort(OleStringView line, OleString* word1, OleString* word2, OleString* word3,
                       OleString* word4, OleString* word5, OleString* word6, std::uint16_t* port) {
  OleString* const words[6] = {word1, word2, word3, word4, word5, word6};
  std::uint16_t portValue = 0;
  size_t pos = 0;
  for (int index = 0; index < 7; ++index) {
    while (pos < line.size() && platform::IsWideSpace(line[pos])) ++pos;
    if (pos >= line.size()) break;
    size_t end = pos;
    while (end < line.size() && !platform::IsWideSpace(line[end])) ++end;
    OleString word(line.substr(pos, end - pos));
    pos = end;
    if (index < 6) {
      if (words[index]) *words[index] = std::move(word);
    } else {
      portValue = static_cast<std::uint16_t>(platform::WideToInt(word.c_str()));
    }
  }
  if (port) *port = portValue;
  return true;
}

bool ParseUnsigned(const OLECHAR* text, std::uint32_t* value) {
  const OLECHAR* end = text;
  std::uint32_t parsed = platform::WideToUnsignedLong(text, &end, 10);
  if (value) *value = parsed;
  return text != nullptr && end != text;
}

}  // namespace sip
