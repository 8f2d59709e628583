// Comfort noise (RFC 3389, payload name CN) for voice activity detection:
// while the microphone is silent the sender sends a SID payload now and then
// instead of voice, and the receiver plays noise at the level it carries.
//
// The SID made here holds the noise level only (model order 0, which the
// payload format allows); spectral coefficients in a received SID are
// ignored and the noise played is white.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace standin {

// The level of `samples` samples in -dBov: 0 for a full-scale square wave,
// 127 for digital silence or anything quieter.
std::uint8_t ComfortNoiseLevel(const std::int16_t* pcm, std::size_t samples);

// Appends the SID payload describing a silent frame: the one level byte.
void MakeComfortNoisePayload(const std::int16_t* pcm, std::size_t samples,
                             std::vector<std::uint8_t>& payload);

// Noise at the level of the last SID received (silence before the first).
class ComfortNoiseGenerator {
 public:
  // `sampleRate` is the CN payload's clock rate (8000 or 16000).
  explicit ComfortNoiseGenerator(int sampleRate);

  int SampleRate() const { return sampleRate_; }
  int FrameSamples() const { return sampleRate_ / 50; }
  int Level() const { return level_; }
  // Takes a SID payload; false (level kept) for an empty one. The level
  // byte's reserved top bit is ignored.
  bool Update(const std::uint8_t* payload, std::size_t size);
  // Appends `samples` samples of noise; after a level change the loudness
  // glides to the new level over one frame.
  void Generate(std::size_t samples, std::vector<std::int16_t>& pcm);

 private:
  float NextUniform();

  int sampleRate_;
  int level_ = 127;
  float gain_ = 0.0f;        // amplitude of the uniform noise now
  float targetGain_ = 0.0f;  // amplitude at level_
  std::uint32_t random_ = 0x2545F491u;
};

}  // namespace standin
