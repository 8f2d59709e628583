#include "tests/support/voice_measures.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace measures {
namespace {

constexpr std::size_t kBlock = kRate / 2;  // alignment step: half a second
constexpr long kFollowLag = kRate / 5;     // a block's lag is searched within 200 ms of the last
constexpr long kFrameRefine = kFrame;      // a frame's lag up to 20 ms beyond its blocks'
constexpr double kMinCorrelation = 0.5;
constexpr double kActiveFloor = 100.0 * 100.0;  // mean square below which a sent frame is silence

double Energy(const std::int16_t* x, std::size_t n) {
  double sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += static_cast<double>(x[i]) * x[i];
  return sum;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2),
                   values.end());
  return values[values.size() / 2];
}

}  // namespace

Clock::time_point TimedSignal::TimeOf(std::size_t index) const {
  auto it = std::upper_bound(marks.begin(), marks.end(), index,
                             [](std::size_t i, const auto& mark) { return i < mark.first; });
  if (it == marks.begin()) return marks.empty() ? Clock::time_point{} : marks.front().second;
  --it;
  const double seconds = static_cast<double>(index - it->first) / kRate;
  return it->second + std::chrono::nanoseconds(std::llround(seconds * 1e9));
}

bool TimedCapture::Write(const void* data, int length) {
  const auto now = Clock::now();
  std::lock_guard lock(mutex_);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  signal16k_.marks.emplace_back(signal16k_.samples.size(), now);
  for (int i = 0; i + 1 < length; i += 2) {
    signal16k_.samples.push_back(static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)));
  }
  return true;
}

TimedSignal TimedCapture::Take(int phase) {
  std::lock_guard lock(mutex_);
  TimedSignal out;
  const auto& in = signal16k_.samples;
  const std::size_t skip = std::min<std::size_t>(phase == 0 ? 0 : 1, in.size());
  out.samples = Downsample2({in.begin() + static_cast<long>(skip), in.end()});
  for (const auto& [first, time] : signal16k_.marks) {
    // A piece's time is kept; its first sample moves by half an 8 kHz sample at most.
    out.marks.emplace_back(first >= skip ? (first - skip) / 2 : 0, time);
  }
  return out;
}

namespace {

// A 511-tap half-band filter (Kaiser window, beta 8): flat within 0.01 dB
// to 3.9 kHz, so that the measures' own rate changes do not blur the upper
// voice band that the engines under test keep.
struct HalfBand {
  static constexpr int kCenter = 255;
  double centre = 0.5;
  std::vector<double> odd;  // odd[k]: the tap at distance 2k + 1 from the centre

  HalfBand() {
    double sum = centre;
    for (int distance = 1; distance <= kCenter; distance += 2) {
      const double x = std::numbers::pi * distance / 2;
      const double r = static_cast<double>(distance) / kCenter;
      odd.push_back(0.5 * std::sin(x) / x * std::cyl_bessel_i(0.0, 8 * std::sqrt(1 - r * r)) /
                    std::cyl_bessel_i(0.0, 8.0));
      sum += 2 * odd.back();
    }
    centre /= sum;  // unity gain at 0 Hz
    for (double& tap : odd) tap /= sum;
  }

  // The filter centred on `at(centreIndex)`.
  template <typename At>
  double Apply(const At& at, long centreIndex) const {
    double sum = centre * at(centreIndex);
    for (std::size_t k = 0; k < odd.size(); ++k) {
      const long distance = 2 * static_cast<long>(k) + 1;
      sum += odd[k] * (at(centreIndex - distance) + at(centreIndex + distance));
    }
    return sum;
  }
};

const HalfBand& MeasureFilter() {
  static const HalfBand filter;
  return filter;
}

std::int16_t Rounded(double value) {
  return static_cast<std::int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
}

}  // namespace

// Output m is centred on input 2m: the filter's delay is taken out.
std::vector<std::int16_t> Downsample2(const std::vector<std::int16_t>& pcm16k) {
  const long size = static_cast<long>(pcm16k.size());
  const auto at = [&](long i) { return i >= 0 && i < size ? static_cast<double>(pcm16k[i]) : 0.0; };
  std::vector<std::int16_t> out(pcm16k.size() / 2);
  for (long m = 0; m < static_cast<long>(out.size()); ++m)
    out[m] = Rounded(MeasureFilter().Apply(at, 2 * m));
  return out;
}

// Input n lands on output 2n; the odd outputs are filtered from the zeros
// between (twice the gain, as half the samples are zero).
std::vector<std::int16_t> Upsample2(const std::vector<std::int16_t>& pcm8k) {
  const long size = static_cast<long>(pcm8k.size());
  const auto at = [&](long i) {
    return i % 2 == 0 && i >= 0 && i / 2 < size ? 2.0 * pcm8k[i / 2] : 0.0;
  };
  std::vector<std::int16_t> out(pcm8k.size() * 2);
  for (long m = 0; m < static_cast<long>(out.size()); ++m)
    out[m] = Rounded(MeasureFilter().Apply(at, m));
  return out;
}

std::optional<long> BestLag(const std::vector<std::int16_t>& sent,
                            const std::vector<std::int16_t>& played, std::size_t begin,
                            std::size_t length, long minLag, long maxLag) {
  if (begin + length > sent.size()) return std::nullopt;
  const double sentEnergy = Energy(sent.data() + begin, length);
  if (sentEnergy <= 0) return std::nullopt;
  std::optional<long> best;
  double bestScore = kMinCorrelation;
  for (long lag = minLag; lag <= maxLag; ++lag) {
    const long start = static_cast<long>(begin) + lag;
    if (start < 0 || static_cast<std::size_t>(start) + length > played.size()) continue;
    const std::int16_t* p = played.data() + start;
    double cross = 0, energy = 0;
    for (std::size_t i = 0; i < length; ++i) {
      cross += static_cast<double>(sent[begin + i]) * p[i];
      energy += static_cast<double>(p[i]) * p[i];
    }
    if (energy <= 0) continue;
    const double score = cross / std::sqrt(sentEnergy * energy);
    if (score > bestScore) bestScore = score, best = lag;
  }
  return best;
}

double FrameSnrDb(const std::int16_t* sent, const std::int16_t* played, int count) {
  double signal = 0, noise = 0;
  for (int i = 0; i < count; ++i) {
    const double d = static_cast<double>(sent[i]) - played[i];
    signal += static_cast<double>(sent[i]) * sent[i];
    noise += d * d;
  }
  if (noise <= 0) return 35;
  return std::clamp(10 * std::log10(std::max(signal, 1.0) / noise), -10.0, 35.0);
}

std::vector<BlockDelay> AlignBlocks(const std::vector<std::int16_t>& sent,
                                    const std::vector<std::int16_t>& played, int maxLagMs) {
  std::vector<BlockDelay> blocks;
  for (std::size_t begin = 0; begin + kBlock <= sent.size(); begin += kBlock) {
    // The first block is searched over the whole range; the others near the
    // one before. A lag may fall below zero: a receiver that drops audio to
    // keep up with a fast sender ends up playing earlier than it began.
    const std::optional<long> lag =
        blocks.empty() ? BestLag(sent, played, begin, kBlock, 0, maxLagMs * kRate / 1000)
                       : BestLag(sent, played, begin, kBlock, blocks.back().lag - kFollowLag,
                                 blocks.back().lag + kFollowLag);
    if (!lag) continue;  // silence or nothing alike: no delay figure for this block
    blocks.push_back({begin, *lag});
  }
  return blocks;
}

Report CompareBlocks(const std::vector<std::int16_t>& sent, const TimedSignal& played,
                     const std::vector<BlockDelay>& blocks, const std::vector<double>& delaysMs) {
  Report report;
  report.aligned = !blocks.empty();
  if (blocks.empty()) return report;
  report.delayMs = Median(delaysMs);
  const std::size_t quarter = std::max<std::size_t>(1, delaysMs.size() / 4);
  report.delayDriftMs = Median({delaysMs.end() - static_cast<long>(quarter), delaysMs.end()}) -
                        Median({delaysMs.begin(), delaysMs.begin() + static_cast<long>(quarter)});

  double snrSum = 0;
  int down = 0, damaged = 0;
  const auto& out = played.samples;
  // Every active frame counts, also in blocks that matched nothing as a
  // whole (a receiver that moved its delay within one, or lost much of it).
  // A frame's lag is searched from the lowest to the highest lag of the
  // aligned blocks around it: a buffer may move its delay anywhere between.
  for (std::size_t f = 0; f + kFrame <= sent.size(); f += kFrame) {
    const double sentEnergy = Energy(sent.data() + f, kFrame);
    if (sentEnergy / kFrame < kActiveFloor) continue;
    const auto after =
        std::upper_bound(blocks.begin(), blocks.end(), f,
                         [](std::size_t at, const BlockDelay& block) { return at < block.begin; });
    const auto own = after == blocks.begin() ? after : after - 1;
    long lowest = own->lag, highest = own->lag;
    for (auto n = own == blocks.begin() ? own : own - 1; n != blocks.end() && n <= own + 1; ++n) {
      lowest = std::min(lowest, n->lag);
      highest = std::max(highest, n->lag);
    }
    const long lag = BestLag(sent, out, f, kFrame, lowest - kFrameRefine, highest + kFrameRefine)
                         .value_or(own->lag);
    const long start = static_cast<long>(f) + lag;
    if (start < 0 || static_cast<std::size_t>(start) + kFrame > out.size()) continue;
    const std::int16_t* p = out.data() + start;
    const double snr = FrameSnrDb(sent.data() + f, p, kFrame);
    ++report.activeFrames;
    snrSum += snr;
    if (snr < 0) ++damaged;
    if (Energy(p, kFrame) * 10 < sentEnergy) ++down;
  }
  if (report.activeFrames > 0) {
    report.segmentalSnrDb = snrSum / report.activeFrames;
    report.framesDownPct = 100.0 * down / report.activeFrames;
    report.framesDamagedPct = 100.0 * damaged / report.activeFrames;
  }
  return report;
}

}  // namespace measures
