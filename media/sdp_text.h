// Reading numbers and words out of SDP attribute values and format lists,
// over text views (no copies, no terminator needed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "medley/com_base.h"
#include "platform/wide_text.h"

namespace media {

// Reads an unsigned decimal at *position the way wcstoul does in base 10:
// leading white space, an optional sign (a minus negates modulo 2^32),
// digits; a value beyond 32 bits reads 0xFFFFFFFF. On success *position is
// after the last digit; false (and *position unmoved) when no digit follows.
bool ReadUnsigned(platform::OleStringView text, size_t* position, std::uint32_t* value);

// Reads a signed decimal at *position as a stream does: leading white space,
// an optional sign, digits; clamped to the 32-bit range. False (and
// *position unmoved) when no digit follows.
bool ReadSigned(platform::OleStringView text, size_t* position, LONG* value);

// `text` without white space at both ends.
platform::OleStringView TrimSpaces(platform::OleStringView text);

// The payload numbers of a media line's format list, in order; tokens that
// do not start with a number are left out ("97abc" reads 97).
std::vector<std::uint32_t> FormatListNumbers(platform::OleStringView formatList);

}  // namespace media
