// Objective measures of what a receiver played out against what was sent,
// both 8 kHz mono 16-bit: alignment by cross-correlation, mouth-to-ear
// delay, the share of frames lost or badly damaged, and segmental SNR.
//
// The distortion figure is segmental SNR over active 20 ms frames (each
// clamped to -10..35 dB, the usual bounds), computed after aligning every
// half second and refining each frame between the lags of the half seconds
// around it (+/-20 ms): it punishes both noise and waveform errors, is easy
// to reason about for G.711 (whose own quantisation allows about 35 dB),
// and needs no perceptual model. The alignment follows a jitter buffer
// that moves its delay, and every active frame counts, also where a whole
// half second matched nothing.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/engine_streams.h"

namespace measures {

using Clock = std::chrono::steady_clock;
constexpr int kRate = 8000;
constexpr int kFrame = 160;  // 20 ms

// A played-out signal with the time each piece of it was handed over.
struct TimedSignal {
  std::vector<std::int16_t> samples;
  std::vector<std::pair<std::size_t, Clock::time_point>> marks;  // first sample, time
  // When the sample at `index` was handed over (the mark of its piece).
  Clock::time_point TimeOf(std::size_t index) const;
};

// Collects an engine's 16 kHz playout recording as 8 kHz with times.
// Write is called on the engine's thread; Take on the test's. `phase` 1
// drops the first 16 kHz sample before the rate is halved: a path whose
// delay is an odd number of 16 kHz samples then lines up with the sent
// 8 kHz samples instead of falling half a sample between them.
class TimedCapture final : public GIPSVEOutStream {
 public:
  bool Write(const void* data, int length) override;
  int Rewind() override { return -1; }
  TimedSignal Take(int phase = 0);

 private:
  std::mutex mutex_;
  TimedSignal signal16k_;
};

// 16 kHz to 8 kHz through a long linear-phase filter, its delay taken out.
std::vector<std::int16_t> Downsample2(const std::vector<std::int16_t>& pcm16k);
// 8 kHz to 16 kHz through the same filter, its delay taken out.
std::vector<std::int16_t> Upsample2(const std::vector<std::int16_t>& pcm8k);

struct Report {
  double delayMs = 0;       // median over half-second blocks
  double delayDriftMs = 0;  // last quarter's median delay minus the first quarter's
  double segmentalSnrDb = 0;
  double framesDownPct = 0;     // active frames played more than 10 dB below what was sent
  double framesDamagedPct = 0;  // active frames with an SNR below 0 dB
  int activeFrames = 0;
  bool aligned = false;  // false: no block matched the sent signal
};

// Compares `played` with `sent`. `sentAt(i)` is when sample i was sent;
// lags up to `maxLagMs` are searched.
template <typename SentAt>
Report Compare(const std::vector<std::int16_t>& sent, const TimedSignal& played, SentAt sentAt,
               int maxLagMs = 1000);

// The lag (in samples, minLag..maxLag, possibly below zero) at which
// `played` best matches the block of `sent` from `begin`, or none when
// nothing correlates (normalised correlation below 0.5).
std::optional<long> BestLag(const std::vector<std::int16_t>& sent,
                            const std::vector<std::int16_t>& played, std::size_t begin,
                            std::size_t length, long minLag, long maxLag);

// Segmental SNR pieces for one frame: sent frame against played frame.
double FrameSnrDb(const std::int16_t* sent, const std::int16_t* played, int count);

// Implementation detail of Compare: the block lags and times.
struct BlockDelay {
  std::size_t begin;
  long lag;
};
Report CompareBlocks(const std::vector<std::int16_t>& sent, const TimedSignal& played,
                     const std::vector<BlockDelay>& blocks, const std::vector<double>& delaysMs);
std::vector<BlockDelay> AlignBlocks(const std::vector<std::int16_t>& sent,
                                    const std::vector<std::int16_t>& played, int maxLagMs);

template <typename SentAt>
Report Compare(const std::vector<std::int16_t>& sent, const TimedSignal& played, SentAt sentAt,
               int maxLagMs) {
  const std::vector<BlockDelay> blocks = AlignBlocks(sent, played.samples, maxLagMs);
  std::vector<double> delays;
  for (const BlockDelay& block : blocks) {
    const auto at = played.TimeOf(block.begin + static_cast<std::size_t>(block.lag));
    delays.push_back(std::chrono::duration<double, std::milli>(at - sentAt(block.begin)).count());
  }
  return CompareBlocks(sent, played, blocks, delays);
}

// Compare for both phases of a TimedCapture; the better one counts.
template <typename SentAt>
Report CompareCapture(const std::vector<std::int16_t>& sent, TimedCapture& capture, SentAt sentAt) {
  Report best = Compare(sent, capture.Take(0), sentAt);
  const Report odd = Compare(sent, capture.Take(1), sentAt);
  return (!best.aligned || (odd.aligned && odd.segmentalSnrDb > best.segmentalSnrDb)) ? odd : best;
}

}  // namespace measures
