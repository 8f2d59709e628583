// The engine's internal audio format: 16-bit mono PCM in 20 ms frames. The
// media thread mixes at kEngineRate; codecs run at 8 or 16 kHz and are
// converted to and from it.
#pragma once

#include <cstdint>

namespace standin {

constexpr int kFrameMs = 20;
constexpr int kEngineRate = 16000;
constexpr int kEngineFrame = kEngineRate / 1000 * kFrameMs;  // 320 samples
constexpr int kNarrowRate = 8000;
constexpr int kNarrowFrame = kNarrowRate / 1000 * kFrameMs;  // 160 samples

inline std::int16_t Saturate(std::int32_t value) {
  if (value > 32767) return 32767;
  if (value < -32768) return -32768;
  return static_cast<std::int16_t>(value);
}

// Multiplies `samples` samples by `scale` in place, saturating.
inline void ScaleInPlace(std::int16_t* pcm, int samples, float scale) {
  if (scale == 1.0f) return;
  for (int i = 0; i < samples; ++i)
    pcm[i] = Saturate(static_cast<std::int32_t>(static_cast<float>(pcm[i]) * scale));
}

}  // namespace standin
