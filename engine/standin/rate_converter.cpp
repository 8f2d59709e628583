#include "engine/standin/rate_converter.h"

#include <cmath>
#include <numbers>
#include <vector>

#include "engine/standin/media_format.h"

namespace standin {
namespace {

constexpr int kTaps = kHalfBandTaps;
constexpr int kCenter = kTaps / 2;  // odd: taps at even distances from it are zero
constexpr double kBeta = 8.0;       // the Kaiser window's trade of stop band for width

// The half-band filter: 0.5 at the centre, windowed sinc at odd distances,
// scaled so that each polyphase branch has unity gain at 0 Hz.
struct HalfBand {
  // odd[k] is the tap at distance 2k + 1 from the centre.
  std::array<float, kCenter / 2 + 1> odd{};
  HalfBand() {
    double sum = 0;
    for (int k = 0; k < static_cast<int>(odd.size()); ++k) {
      const int distance = 2 * k + 1;
      const double x = std::numbers::pi * distance / 2;
      const double r = static_cast<double>(distance) / kCenter;
      const double window =
          std::cyl_bessel_i(0.0, kBeta * std::sqrt(1 - r * r)) / std::cyl_bessel_i(0.0, kBeta);
      odd[k] = static_cast<float>(0.5 * std::sin(x) / x * window);
      sum += 2 * odd[k];
    }
    for (float& tap : odd) tap = static_cast<float>(tap * 0.5 / sum);
  }
};

const HalfBand& Filter() {
  static const HalfBand filter;
  return filter;
}

std::int16_t ToSample(float value) {
  return Saturate(static_cast<std::int32_t>(std::lrint(value)));
}

}  // namespace

void Downsampler2::Process(const std::int16_t* in, int inSamples, std::int16_t* out) {
  const HalfBand& filter = Filter();
  float buffer[kHistory + kEngineFrame];
  std::vector<float> large;
  float* data = buffer;
  if (inSamples > kEngineFrame) {
    large.resize(kHistory + inSamples);
    data = large.data();
  }
  std::copy(history_.begin(), history_.end(), data);
  for (int i = 0; i < inSamples; ++i) data[kHistory + i] = in[i];
  // Output m is centred on input sample 2m + 1 - kCenter (counting the new frame from 0).
  for (int m = 0; m < inSamples / 2; ++m) {
    const float* centre = data + 2 * m + 1 + kCenter;
    float sum = 0.5f * centre[0];
    for (int k = 0; k < static_cast<int>(filter.odd.size()); ++k)
      sum += filter.odd[k] * (centre[2 * k + 1] + centre[-(2 * k + 1)]);
    out[m] = ToSample(sum);
  }
  std::copy(data + inSamples, data + inSamples + kHistory, history_.begin());
}

void Upsampler2::Process(const std::int16_t* in, int inSamples, std::int16_t* out) {
  const HalfBand& filter = Filter();
  float buffer[kHistory + kNarrowFrame];
  std::vector<float> large;
  float* data = buffer;
  if (inSamples > kNarrowFrame) {
    large.resize(kHistory + inSamples);
    data = large.data();
  }
  std::copy(history_.begin(), history_.end(), data);
  for (int i = 0; i < inSamples; ++i) data[kHistory + i] = in[i];
  // Even outputs come from the odd-distance taps (doubled), odd outputs are
  // the input sample at the centre, so both phases share one delay.
  constexpr int kHalf = kCenter / 2 + 1;  // taps on each side
  for (int p = 0; p < inSamples; ++p) {
    const float* newest = data + kHistory + p;
    float sum = 0;
    for (int k = 0; k < kHalf; ++k)
      sum += 2 * filter.odd[k] * (newest[-(kHalf - 1 - k)] + newest[-(kHalf + k)]);
    out[2 * p] = ToSample(sum);
    out[2 * p + 1] = ToSample(newest[-(kHalf - 1)]);
  }
  std::copy(data + inSamples, data + inSamples + kHistory, history_.begin());
}

}  // namespace standin
