// Test signals and their measurement: tones, RMS level in dBFS, Goertzel
// power and the dominant frequency of a block of 16-bit PCM.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <span>
#include <string>
#include <vector>

#include "engine/engine_codec_record.h"

namespace audio_test {

inline EngineCodecRecord Codec(const char* name, int frequency, int rate = 0) {
  EngineCodecRecord record{};
  std::strncpy(record.name, name, sizeof record.name - 1);
  record.frequency = frequency;
  record.rate = rate;
  return record;
}

inline std::vector<std::int16_t> Tone(int sampleRate, double hz, double amplitude,
                                      std::size_t samples) {
  std::vector<std::int16_t> pcm(samples);
  for (std::size_t i = 0; i < samples; ++i)
    pcm[i] = static_cast<std::int16_t>(std::lround(
        amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / sampleRate)));
  return pcm;
}

// The RMS level relative to a full-scale square wave, in dB.
inline double LevelDb(std::span<const std::int16_t> pcm) {
  double energy = 0;
  for (std::int16_t s : pcm) energy += static_cast<double>(s) * s;
  if (pcm.empty() || energy == 0) return -200;
  return 10 * std::log10(energy / static_cast<double>(pcm.size()) / (32767.0 * 32767.0));
}

inline double GoertzelPower(std::span<const std::int16_t> pcm, int sampleRate, double hz) {
  double coefficient = 2 * std::cos(2 * std::numbers::pi * hz / sampleRate);
  double previous = 0, beforePrevious = 0;
  for (std::int16_t s : pcm) {
    double current = s + coefficient * previous - beforePrevious;
    beforePrevious = previous;
    previous = current;
  }
  return previous * previous + beforePrevious * beforePrevious -
         coefficient * previous * beforePrevious;
}

// The strongest frequency on a 25 Hz grid from 100 Hz to just below Nyquist.
inline double DominantFrequency(std::span<const std::int16_t> pcm, int sampleRate) {
  double best = 0, bestPower = -1;
  for (double hz = 100; hz < sampleRate / 2.0 - 50; hz += 25) {
    double power = GoertzelPower(pcm, sampleRate, hz);
    if (power > bestPower) {
      bestPower = power;
      best = hz;
    }
  }
  return best;
}

inline std::vector<std::int16_t> LittleEndianSamples(const std::string& bytes) {
  std::vector<std::int16_t> pcm(bytes.size() / 2);
  for (std::size_t i = 0; i < pcm.size(); ++i)
    pcm[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                       (static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8));
  return pcm;
}

inline std::string LittleEndianBytes(std::span<const std::int16_t> pcm) {
  std::string bytes;
  for (std::int16_t s : pcm) {
    auto bits = static_cast<std::uint16_t>(s);
    bytes.push_back(static_cast<char>(bits & 0xFF));
    bytes.push_back(static_cast<char>(bits >> 8));
  }
  return bytes;
}

}  // namespace audio_test
