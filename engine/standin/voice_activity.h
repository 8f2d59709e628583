// Voice activity detection for silence suppression: a frame is speech when
// its level rises above a threshold, and the verdict holds for 200 ms after
// the last speech frame so word endings are not cut. The mode (0..3) raises
// the threshold in 5 dB steps from -55 dBov: higher modes suppress more.
#pragma once

#include <cstdint>

namespace standin {

class VoiceActivityDetector {
 public:
  static constexpr int kHangoverFrames = 10;

  void SetMode(int mode);
  // Judges one 20 ms frame.
  bool IsSpeech(const std::int16_t* pcm, int samples);
  void Reset() { hangover_ = 0; }

 private:
  int thresholdDbov_ = -55;
  int hangover_ = 0;
};

}  // namespace standin
