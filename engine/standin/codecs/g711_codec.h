// G.711 (PCMU and PCMA): one byte per sample at 8 kHz, 160 bytes per 20 ms.
// The codec is the same whichever implementation of the two companding laws
// it is given: the telephony library's where it exists, the built-in tables
// elsewhere.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/standin/audio_codec.h"

namespace standin {

struct G711Law {
  std::uint8_t (*encode)(std::int16_t sample);
  std::int16_t (*decode)(std::uint8_t code);
};

std::unique_ptr<AudioEncoder> CreateG711Encoder(const G711Law& law);
std::unique_ptr<AudioDecoder> CreateG711Decoder(const G711Law& law);

// The laws of the telephony library (only in builds that have it).
G711Law LibraryMuLaw();
G711Law LibraryALaw();

}  // namespace standin
