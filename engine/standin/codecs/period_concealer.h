// Loss concealment at any sample rate by pitch-period repetition: the last
// period of what was received (found by normalised autocorrelation between
// 2.5 and 15 ms) is repeated at full level for 20 ms, then faded out
// linearly over the next 80 ms (silent from 100 ms on); after a loss the
// first received samples are cross-faded with the repetition so the join
// does not click. Used by every decoder: it works at any rate, and holds a
// lost stretch of speech longer than the telephony library's concealer
// (silent after 60 ms), which speech under bursty loss clearly gains from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/standin/codecs/g711_codec.h"

namespace standin {

class PeriodConcealer final : public LossConcealer {
 public:
  explicit PeriodConcealer(int sampleRate);

  void Received(std::int16_t* pcm, std::size_t samples) override;
  void Fill(std::int16_t* pcm, std::size_t samples) override;

  // Samples of the last period found (0 before the first loss).
  std::size_t Period() const { return period_; }

 private:
  void StartLoss();
  // The next repeated sample at the current gain; advances the loss.
  std::int16_t Next();

  const std::size_t minPeriod_;
  const std::size_t maxPeriod_;
  const std::size_t fullLevel_;        // samples played at full level
  const std::size_t fadeOut_;          // samples of the fade after them
  std::vector<std::int16_t> history_;  // the latest samples received, oldest first
  std::size_t filled_ = 0;             // samples of history_ received so far
  std::vector<std::int16_t> cycle_;    // the period being repeated
  std::size_t period_ = 0;
  std::size_t position_ = 0;  // in cycle_
  std::size_t lost_ = 0;      // samples made up in the current loss
};

std::unique_ptr<LossConcealer> CreatePeriodConcealer(int sampleRate);

}  // namespace standin
