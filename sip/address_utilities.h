// Text operations on addresses, ports and numbers found in session
// descriptions: private and link-local IPv4 classification, the first public
// address of a list, alternative-address word splitting and unsigned number
// parsing. They look at fixed leading characters only and keep no state.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/wide_text.h"

namespace sip {

using platform::OleString;
using platform::OleStringView;

// 192.168.x, 10.x, or 172.NN with NN (the two characters after "172.",
// read as _wtoi does) from 16 to 31. 172.160.0.1 therefore counts as
// private and 172.1.0.1 does not.
bool IsPrivateAddress(OleStringView address);

// The first eight characters are "169.254.".
bool IsLinkLocalAddress(OleStringView address);

bool IsPrivateOrLinkLocal(OleStringView address);

// Copies the first address that is neither private nor link-local to
// `address` and answers true; answers false and leaves `address` untouched
// when there is none.
bool FirstPublicAddress(const std::vector<OleString>& addresses, OleString* address);

// Splits `line` at white space: the first six words go to the six strings in
// order (a missing word leaves its string as it was; a null pointer skips
// it), the seventh is read as _wtoi does and stored, cut to 16 bits, in
// `port`, which is 0 when there is no seventh word. Always true.
bool SplitWordsAndPort(OleStringView line, OleString* word1, OleString* word2, OleString* word3,
                       OleString* word4, OleString* word5, OleString* word6, std::uint16_t* port);

// Reads `text` as wcstoul does in base 10 (leading white space and a sign
// accepted, stopping at the first non-digit). True when at least one
// character was consumed.
bool ParseUnsigned(const OLECHAR* text, std::uint32_t* value);

}  // namespace sip
