#include "engine/standin/codecs/comfort_noise.h"

#include <algorithm>
#include <cmath>

namespace standin {
namespace {

constexpr double kFullScale = 32767.0;
constexpr int kSilentLevel = 127;

// Peak amplitude of uniform noise whose RMS is that of `level` -dBov
// (a uniform distribution's RMS is its peak over the square root of 3).
float UniformPeakOf(int level) {
  if (level >= kSilentLevel) return 0.0f;
  return static_cast<float>(kFullScale * std::pow(10.0, -level / 20.0) * std::sqrt(3.0));
}

}  // namespace

std::uint8_t ComfortNoiseLevel(const std::int16_t* pcm, std::size_t samples) {
  if (samples == 0) return kSilentLevel;
  double energy = 0.0;
  for (std::size_t i = 0; i < samples; ++i) energy += static_cast<double>(pcm[i]) * pcm[i];
  double meanSquare = energy / static_cast<double>(samples);
  if (meanSquare <= 0.0) return kSilentLevel;
  double level = -10.0 * std::log10(meanSquare / (kFullScale * kFullScale));
  return static_cast<std::uint8_t>(
      std::clamp(std::lround(level), 0L, static_cast<long>(kSilentLevel)));
}

void MakeComfortNoisePayload(const std::int16_t* pcm, std::size_t samples,
                             std::vector<std::uint8_t>& payload) {
  payload.push_back(ComfortNoiseLevel(pcm, samples));
}

ComfortNoiseGenerator::ComfortNoiseGenerator(int sampleRate) : sampleRate_(sampleRate) {}

bool ComfortNoiseGenerator::Update(const std::uint8_t* payload, std::size_t size) {
  if (size == 0) return false;
  level_ = payload[0] & 0x7F;
  targetGain_ = UniformPeakOf(level_);
  return true;
}

void ComfortNoiseGenerator::Generate(std::size_t samples, std::vector<std::int16_t>& pcm) {
  const float step = (targetGain_ - gain_) / static_cast<float>(std::max(FrameSamples(), 1));
  pcm.reserve(pcm.size() + samples);
  for (std::size_t i = 0; i < samples; ++i) {
    if (gain_ != targetGain_)
      gain_ = step > 0 ? std::min(gain_ + step, targetGain_) : std::max(gain_ + step, targetGain_);
    float value = std::round(NextUniform() * gain_);
    pcm.push_back(static_cast<std::int16_t>(std::clamp(value, -32768.0f, 32767.0f)));
  }
}

// A xorshift generator: uniform in [-1, 1).
float ComfortNoiseGenerator::NextUniform() {
  random_ ^= random_ << 13;
  random_ ^= random_ >> 17;
  random_ ^= random_ << 5;
  return static_cast<float>(static_cast<std::int32_t>(random_)) / 2147483648.0f;
}

}  // namespace standin
