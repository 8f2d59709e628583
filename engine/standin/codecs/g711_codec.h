// G.711 (PCMU and PCMA): one byte per sample at 8 kHz, 160 bytes per 20 ms.
// The codec is the same whichever implementation of the two companding laws
// it is given: the telephony library's where it exists, the built-in tables
// elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/standin/audio_codec.h"

namespace standin {

struct G711Law {
  std::uint8_t (*encode)(std::int16_t sample);
  std::int16_t (*decode)(std::uint8_t code);
};

// Packet loss concealment for a decoder whose codec has none of its own.
// Received sees every decoded sample in order (and may smooth the join
// after a concealed stretch in place); Fill makes up samples for a loss.
class LossConcealer {
 public:
  virtual ~LossConcealer() = default;
  virtual void Received(std::int16_t* pcm, std::size_t samples) = 0;
  virtual void Fill(std::int16_t* pcm, std::size_t samples) = 0;
};

std::unique_ptr<AudioEncoder> CreateG711Encoder(const G711Law& law);
// Without a concealer (builds without the telephony library) a lost frame
// is made up by pitch-period repetition (period_concealer.h).
std::unique_ptr<AudioDecoder> CreateG711Decoder(const G711Law& law,
                                                std::unique_ptr<LossConcealer> concealer = nullptr);

// The laws and the concealment (pitch-period repetition, fading out over
// about 60 ms) of the telephony library (only in builds that have it).
G711Law LibraryMuLaw();
G711Law LibraryALaw();
std::unique_ptr<LossConcealer> LibraryConcealer();

}  // namespace standin
