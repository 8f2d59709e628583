// Conversion between 8 and 16 kHz: a 95-tap half-band low-pass filter
// (Blackman window) in polyphase form, flat within 0.1 dB to 3.4 kHz so
// that narrowband speech keeps its upper band. Each object keeps the filter
// history of one stream between frames; the delay is 47 samples at 16 kHz.
#pragma once

#include <array>
#include <cstdint>

namespace standin {

constexpr int kHalfBandTaps = 95;

// 16 kHz to 8 kHz: `inSamples` (even) in, half as many out.
class Downsampler2 {
 public:
  void Process(const std::int16_t* in, int inSamples, std::int16_t* out);
  void Reset() { history_.fill(0.0f); }

 private:
  static constexpr int kHistory = kHalfBandTaps - 1;
  std::array<float, kHistory> history_{};
};

// 8 kHz to 16 kHz: `inSamples` in, twice as many out.
class Upsampler2 {
 public:
  void Process(const std::int16_t* in, int inSamples, std::int16_t* out);
  void Reset() { history_.fill(0.0f); }

 private:
  static constexpr int kHistory = kHalfBandTaps / 2;
  std::array<float, kHistory> history_{};
};

}  // namespace standin
