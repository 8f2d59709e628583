#include "engine/standin/level_meter.h"

#include <algorithm>
#include <cstdlib>

namespace standin {

int LevelOfPeak(int peak) {
  // -54, -48, ... -6 dBFS of 32767.
  static constexpr int kThresholds[] = {65, 130, 260, 519, 1036, 2068, 4125, 8231, 16423};
  int level = 0;
  for (int threshold : kThresholds)
    if (peak >= threshold) ++level;
  return level;
}

void LevelMeter::Add(const std::int16_t* pcm, int samples) {
  for (int i = 0; i < samples; ++i) current_ = std::max(current_, std::abs(int{pcm[i]}));
}

void LevelMeter::Commit() {
  peaks_[next_] = current_;
  next_ = (next_ + 1) % kFrames;
  current_ = 0;
}

int LevelMeter::Level() const {
  return LevelOfPeak(*std::max_element(peaks_.begin(), peaks_.end()));
}

void LevelMeter::Reset() {
  peaks_.fill(0);
  current_ = 0;
}

}  // namespace standin
