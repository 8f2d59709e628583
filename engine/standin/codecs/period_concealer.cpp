#include "engine/standin/codecs/period_concealer.h"

#include <algorithm>
#include <cmath>

namespace standin {

PeriodConcealer::PeriodConcealer(int sampleRate)
    : minPeriod_(static_cast<std::size_t>(std::max(sampleRate, 800) / 400)),
      maxPeriod_(static_cast<std::size_t>(std::max(sampleRate, 800) * 15 / 1000)),
      fullLevel_(static_cast<std::size_t>(std::max(sampleRate, 800) / 50)),
      fadeOut_(static_cast<std::size_t>(std::max(sampleRate, 800) * 2 / 25)),
      history_(3 * maxPeriod_, 0) {}

void PeriodConcealer::Received(std::int16_t* pcm, std::size_t samples) {
  if (lost_ > 0) {
    // Cross-fade from the repetition into what arrived, over a quarter period.
    const std::size_t overlap = std::min(samples, std::max<std::size_t>(period_ / 4, 1));
    for (std::size_t i = 0; i < overlap; ++i) {
      const double weight = static_cast<double>(i + 1) / static_cast<double>(overlap + 1);
      pcm[i] = static_cast<std::int16_t>(std::lround((1 - weight) * Next() + weight * pcm[i]));
    }
    lost_ = 0;
  }
  const std::size_t keep = std::min(samples, history_.size());
  std::copy(history_.begin() + static_cast<std::ptrdiff_t>(keep), history_.end(), history_.begin());
  std::copy(pcm + samples - keep, pcm + samples,
            history_.end() - static_cast<std::ptrdiff_t>(keep));
  filled_ = std::min(history_.size(), filled_ + samples);
}

void PeriodConcealer::StartLoss() {
  // The lag at which the newest max-period samples best match themselves.
  const std::size_t span = maxPeriod_;
  const std::int16_t* recent = history_.data() + history_.size() - span;
  double best = -1;
  period_ = minPeriod_;
  for (std::size_t lag = minPeriod_; lag <= maxPeriod_; ++lag) {
    const std::int16_t* earlier = recent - lag;
    double cross = 0, energy = 0;
    for (std::size_t i = 0; i < span; ++i) {
      cross += static_cast<double>(recent[i]) * earlier[i];
      energy += static_cast<double>(earlier[i]) * earlier[i];
    }
    const double score = energy > 0 ? cross / std::sqrt(energy) : 0;
    if (score > best) best = score, period_ = lag;
  }
  // The last period, its first quarter blended with the samples before it
  // so the repetition's seam follows the waveform.
  cycle_.assign(history_.end() - static_cast<std::ptrdiff_t>(period_), history_.end());
  const std::size_t blend = period_ / 4;
  const std::int16_t* before = history_.data() + history_.size() - period_ - blend;
  for (std::size_t i = 0; i < blend; ++i) {
    const double weight = static_cast<double>(i + 1) / static_cast<double>(blend + 1);
    const std::size_t at = period_ - blend + i;
    cycle_[at] =
        static_cast<std::int16_t>(std::lround(weight * before[i] + (1 - weight) * cycle_[at]));
  }
  position_ = 0;
}

std::int16_t PeriodConcealer::Next() {
  double gain = 1;
  if (lost_ >= fullLevel_ + fadeOut_)
    gain = 0;
  else if (lost_ > fullLevel_)
    gain = 1 - static_cast<double>(lost_ - fullLevel_) / static_cast<double>(fadeOut_);
  const std::int16_t sample = static_cast<std::int16_t>(std::lround(gain * cycle_[position_]));
  position_ = (position_ + 1) % cycle_.size();
  ++lost_;
  return sample;
}

void PeriodConcealer::Fill(std::int16_t* pcm, std::size_t samples) {
  if (filled_ < history_.size()) {  // too little heard to repeat anything
    std::fill_n(pcm, samples, 0);
    return;
  }
  if (lost_ == 0) StartLoss();
  for (std::size_t i = 0; i < samples; ++i) pcm[i] = Next();
}

std::unique_ptr<LossConcealer> CreatePeriodConcealer(int sampleRate) {
  return std::make_unique<PeriodConcealer>(sampleRate);
}

}  // namespace standin
