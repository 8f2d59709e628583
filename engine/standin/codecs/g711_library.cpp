// The G.711 laws of the telephony library (spandsp).
#include "engine/standin/codecs/g711_codec.h"

#include <cstdint>

#include <spandsp/telephony.h>
#include <spandsp/bit_operations.h>
#include <spandsp/g711.h>

namespace standin {
namespace {

std::uint8_t EncodeMu(std::int16_t sample) { return linear_to_ulaw(sample); }
std::int16_t DecodeMu(std::uint8_t code) { return ulaw_to_linear(code); }
std::uint8_t EncodeA(std::int16_t sample) { return linear_to_alaw(sample); }
std::int16_t DecodeA(std::uint8_t code) { return alaw_to_linear(code); }

}  // namespace

G711Law LibraryMuLaw() { return {EncodeMu, DecodeMu}; }
G711Law LibraryALaw() { return {EncodeA, DecodeA}; }

}  // namespace standin
