// Conversion between 8 and 16 kHz: a 159-tap half-band low-pass filter
// (Kaiser window, beta 7) in polyphase form. It is flat within 0.05 dB to
// 3.75 kHz and stops 70 dB from 4.25 kHz, so that a narrowband call keeps
// the whole band its codec carries and a trip up and down again is close
// to transparent. Each object keeps the filter history of one stream
// between frames; the delay is 79 samples at 16 kHz (under 5 ms).
#pragma once

#include <array>
#include <cstdint>

namespace standin {

constexpr int kHalfBandTaps = 159;

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
