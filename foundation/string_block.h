// The shared block behind Ortus::String: a header followed by the inline
// text. Internal to the foundation library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "medley/ortus_string.h"

namespace Ortus {

struct StringBlock {
  char* external;       // adopted malloc buffer, or null when the text is inline
  std::uint16_t refs;   // strings sharing the block
  std::uint32_t size;   // bytes allocated for the block, header included
  std::uint32_t start;  // characters at the front no longer part of the string
  std::uint32_t end;    // characters used from the beginning of the text
  NumberFormat format;  // for the integer appends
  std::uint8_t isNull;  // non-zero: the string is null whatever the text holds
  char scratch;         // target of operator[] when no character can be handed out

  char* Text() { return external ? external : Inline(); }
  const char* Text() const { return external ? external : Inline(); }
  char* Inline() { return reinterpret_cast<char*>(this) + kHeaderSize; }
  const char* Inline() const { return reinterpret_cast<const char*>(this) + kHeaderSize; }
  std::uint32_t Length() const { return end - start; }
  // Characters the inline text area holds, keeping one byte for the terminator.
  std::uint32_t Capacity() const { return size - kHeaderSize - 1; }

  static const std::size_t kHeaderSize;
};

inline constexpr NumberFormat kDefaultNumberFormat{10, 0, 0, 0};

// Spare characters a new block gets beyond what it must hold.
inline constexpr std::uint32_t kBlockSlack = 32;
// Largest character count a block may be asked to hold: its byte size must
// fit the 32-bit size field.
inline constexpr std::uint64_t kMaxBlockCharacters = 0xFFFFFFFFull - 256;

// Allocates a zero-filled inline block for `characters` characters (plus the
// terminator), reference count 1 and the default format; null on failure or
// when the count is too large.
StringBlock* NewStringBlock(std::uint64_t characters);

}  // namespace Ortus
