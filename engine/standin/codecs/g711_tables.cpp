#include "engine/standin/codecs/g711_tables.h"

#include <array>

namespace standin {
namespace {

// Both laws code a magnitude as a segment (the position of its leading one
// bit above bit 7) and the four bits after that leading one.
constexpr int kMuLawBias = 0x84;
constexpr std::uint8_t kALawInversion = 0x55;

// kSegment[n >> 8] is the segment of a magnitude n below 0x10000: the bit
// length of n >> 8.
constexpr std::array<std::uint8_t, 256> MakeSegments() {
  std::array<std::uint8_t, 256> table{};
  for (int i = 1; i < 256; ++i) table[i] = static_cast<std::uint8_t>(table[i / 2] + 1);
  return table;
}
constexpr std::array<std::uint8_t, 256> kSegment = MakeSegments();

constexpr std::int16_t MuLawValue(std::uint8_t code) {
  int inverted = static_cast<std::uint8_t>(~code);
  int magnitude = (((inverted & 0x0F) << 3) + kMuLawBias) << ((inverted & 0x70) >> 4);
  return static_cast<std::int16_t>((inverted & 0x80) ? kMuLawBias - magnitude
                                                     : magnitude - kMuLawBias);
}

constexpr std::int16_t ALawValue(std::uint8_t code) {
  int plain = code ^ kALawInversion;
  int magnitude = (plain & 0x0F) << 4;
  int segment = (plain & 0x70) >> 4;
  magnitude = segment ? (magnitude + 0x108) << (segment - 1) : magnitude + 8;
  return static_cast<std::int16_t>((plain & 0x80) ? magnitude : -magnitude);
}

template <std::int16_t (*Value)(std::uint8_t)>
constexpr std::array<std::int16_t, 256> MakeDecodeTable() {
  std::array<std::int16_t, 256> table{};
  for (int code = 0; code < 256; ++code) table[code] = Value(static_cast<std::uint8_t>(code));
  return table;
}
constexpr std::array<std::int16_t, 256> kMuLawDecode = MakeDecodeTable<MuLawValue>();
constexpr std::array<std::int16_t, 256> kALawDecode = MakeDecodeTable<ALawValue>();

}  // namespace

std::uint8_t BuiltInMuLawEncode(std::int16_t sample) {
  int mask = sample >= 0 ? 0xFF : 0x7F;
  int magnitude = sample >= 0 ? kMuLawBias + sample : kMuLawBias - sample;
  if (magnitude > 0x7FFF) return static_cast<std::uint8_t>(0x7F ^ mask);
  int segment = kSegment[magnitude >> 8];
  return static_cast<std::uint8_t>(((segment << 4) | ((magnitude >> (segment + 3)) & 0x0F)) ^ mask);
}

std::int16_t BuiltInMuLawDecode(std::uint8_t code) { return kMuLawDecode[code]; }

std::uint8_t BuiltInALawEncode(std::int16_t sample) {
  int mask = sample >= 0 ? (kALawInversion | 0x80) : kALawInversion;
  int magnitude = sample >= 0 ? sample : -sample - 1;
  int segment = kSegment[magnitude >> 8];
  int shift = segment ? segment + 3 : 4;
  return static_cast<std::uint8_t>(((segment << 4) | ((magnitude >> shift) & 0x0F)) ^ mask);
}

std::int16_t BuiltInALawDecode(std::uint8_t code) { return kALawDecode[code]; }

G711Law BuiltInMuLaw() { return {BuiltInMuLawEncode, BuiltInMuLawDecode}; }
G711Law BuiltInALaw() { return {BuiltInALawEncode, BuiltInALawDecode}; }

}  // namespace standin
