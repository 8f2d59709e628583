// Conversion between 8 and 16 kHz: a 191-tap half-band low-pass filter
// (Kaiser window, beta 8) in polyphase form. It is flat within 0.01 dB to
// 3.8 kHz and stops about 80 dB from 4.25 kHz, so that a narrowband call
// keeps the whole band its codec carries and a trip up and down again is
// close to transparent. Each object keeps the filter history of one stream
// between frames; the delay is 95 samples at 16 kHz (under 6 ms).
#pragma once

#include <array>
#include <cstdint>

namespace standin {

constexpr int kHalfBandTaps = 191;

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
