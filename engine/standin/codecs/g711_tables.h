// The built-in G.711 companding laws, for builds without the telephony
// library: decoding through two 256-entry tables, encoding through a table
// of segment numbers. The results equal the library's bit for bit.
#pragma once

#include <cstdint>

#include "engine/standin/codecs/g711_codec.h"

namespace standin {

std::uint8_t BuiltInMuLawEncode(std::int16_t sample);
std::int16_t BuiltInMuLawDecode(std::uint8_t code);
std::uint8_t BuiltInALawEncode(std::int16_t sample);
std::int16_t BuiltInALawDecode(std::uint8_t code);

G711Law BuiltInMuLaw();
G711Law BuiltInALaw();

}  // namespace standin
