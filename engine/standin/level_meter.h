// The signal level 0..9 that the volume interface reports: the peak
// amplitude of the last 100 ms in 6 dB steps, level 9 from -6 dBFS up and
// level 0 below -54 dBFS.
#pragma once

#include <array>
#include <cstdint>

namespace standin {

class LevelMeter {
 public:
  static constexpr int kFrames = 5;  // 20 ms frames remembered

  // Raises the current frame's peak by `samples` samples.
  void Add(const std::int16_t* pcm, int samples);
  // Ends the current frame.
  void Commit();
  int Level() const;
  void Reset();

 private:
  std::array<int, kFrames> peaks_{};
  int next_ = 0;
  int current_ = 0;
};

// The level of one peak amplitude (0..32768).
int LevelOfPeak(int peak);

}  // namespace standin
