#include "engine/standin/voice_activity.h"

#include <algorithm>
#include <cmath>

namespace standin {

void VoiceActivityDetector::SetMode(int mode) { thresholdDbov_ = -55 + 5 * std::clamp(mode, 0, 3); }

bool VoiceActivityDetector::IsSpeech(const std::int16_t* pcm, int samples) {
  // Mean square against the threshold's; 0 dBov is a full-scale square wave.
  double energy = 0;
  for (int i = 0; i < samples; ++i) energy += static_cast<double>(pcm[i]) * pcm[i];
  const double threshold = 32767.0 * 32767.0 * std::pow(10.0, thresholdDbov_ / 10.0);
  if (samples > 0 && energy / samples > threshold) {
    hangover_ = kHangoverFrames;
    return true;
  }
  if (hangover_ > 0) {
    --hangover_;
    return true;
  }
  return false;
}

}  // namespace standin
