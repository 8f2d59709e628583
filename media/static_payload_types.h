// The static RTP payload types 0 to 34 (RFC 3551), which a peer may list in a
// media line without an rtpmap attribute. Unassigned numbers have an empty
// name. Built once, never changed; safe to read from any thread.
#pragma once

#include <array>
#include <cstdint>

#include "media/payload_type.h"

constexpr std::uint32_t kStaticPayloadTypeCount = 35;

// Indexed by payload number.
const std::array<PayloadType, kStaticPayloadTypeCount>& StaticPayloadTypes();

// Whether `number` (an unsigned payload number) has a table entry.
constexpr bool IsStaticPayloadNumber(std::uint32_t number) {
  return number < kStaticPayloadTypeCount;
}
