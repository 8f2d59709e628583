#include "engine/standin/files/resampler.h"

namespace standin {
namespace {

class CopyingResampler final : public Resampler {
 public:
  void Process(const std::int16_t* pcm, std::size_t count,
               std::vector<std::int16_t>& out) override {
    out.insert(out.end(), pcm, pcm + count);
  }
  void Flush(std::vector<std::int16_t>&) override {}
};

// Output sample k sits at input position k * inRate / outRate and is
// interpolated between the two input samples around it. Positions are kept
// as exact integers (scaled by outRate).
class LinearResampler final : public Resampler {
 public:
  LinearResampler(int inRate, int outRate) : inRate_(inRate), outRate_(outRate) {}

  void Process(const std::int16_t* pcm, std::size_t count,
               std::vector<std::int16_t>& out) override {
    for (std::size_t i = 0; i < count; ++i, ++consumed_) {
      if (consumed_ > 0) {
        // Outputs between input consumed_ - 1 (last_) and consumed_ (pcm[i]).
        while (produced_ * inRate_ < consumed_ * outRate_) {
          std::int64_t offset = produced_ * inRate_ - (consumed_ - 1) * outRate_;
          std::int64_t value = last_ + (pcm[i] - last_) * offset / outRate_;
          out.push_back(static_cast<std::int16_t>(value));
          ++produced_;
        }
      }
      last_ = pcm[i];
    }
  }

  void Flush(std::vector<std::int16_t>& out) override {
    if (consumed_ == 0) return;
    // Outputs up to the end of the last input sample's span hold its value.
    while (produced_ * inRate_ < consumed_ * outRate_) {
      out.push_back(static_cast<std::int16_t>(last_));
      ++produced_;
    }
  }

 private:
  std::int64_t inRate_;
  std::int64_t outRate_;
  std::int64_t produced_ = 0;
  std::int64_t consumed_ = 0;
  std::int64_t last_ = 0;
};

}  // namespace

std::unique_ptr<Resampler> CreateCopyingResampler() { return std::make_unique<CopyingResampler>(); }

std::unique_ptr<Resampler> CreateLinearResampler(int inRate, int outRate) {
  if (inRate <= 0 || outRate <= 0) return nullptr;
  if (inRate == outRate) return CreateCopyingResampler();
  return std::make_unique<LinearResampler>(inRate, outRate);
}

}  // namespace standin
