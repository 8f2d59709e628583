// The DSP library's (speexdsp) filtering resampler.
#include <speex/speex_resampler.h>

#include <algorithm>

#include "engine/standin/files/resampler.h"

namespace standin {
namespace {

constexpr spx_uint32_t kChunkSamples = 1024;

class SpeexResampler final : public Resampler {
 public:
  SpeexResampler(int inRate, int outRate) : inRate_(inRate), outRate_(outRate) {
    int error = 0;
    state_ = speex_resampler_init(1, static_cast<spx_uint32_t>(inRate),
                                  static_cast<spx_uint32_t>(outRate),
                                  SPEEX_RESAMPLER_QUALITY_DEFAULT, &error);
    if (state_) speex_resampler_skip_zeros(state_);
  }
  ~SpeexResampler() override {
    if (state_) speex_resampler_destroy(state_);
  }
  SpeexResampler(const SpeexResampler&) = delete;
  SpeexResampler& operator=(const SpeexResampler&) = delete;
  bool Valid() const { return state_ != nullptr; }

  void Process(const std::int16_t* pcm, std::size_t count,
               std::vector<std::int16_t>& out) override {
    while (count > 0) {
      auto in = static_cast<spx_uint32_t>(std::min<std::size_t>(count, kChunkSamples));
      spx_uint32_t room = static_cast<spx_uint32_t>(static_cast<std::uint64_t>(in) *
                                                        static_cast<std::uint64_t>(outRate_) /
                                                        static_cast<std::uint64_t>(inRate_) +
                                                    16);
      std::size_t start = out.size();
      out.resize(start + room);
      speex_resampler_process_int(state_, 0, pcm, &in, out.data() + start, &room);
      out.resize(start + room);
      if (in == 0 && room == 0) break;
      pcm += in;
      count -= in;
    }
  }

  // The filter's delay line is pushed out with silence.
  void Flush(std::vector<std::int16_t>& out) override {
    std::vector<std::int16_t> silence(
        static_cast<std::size_t>(speex_resampler_get_input_latency(state_)), 0);
    Process(silence.data(), silence.size(), out);
  }

 private:
  int inRate_;
  int outRate_;
  SpeexResamplerState* state_ = nullptr;
};

}  // namespace

std::unique_ptr<Resampler> CreateResampler(int inRate, int outRate) {
  if (inRate <= 0 || outRate <= 0) return nullptr;
  if (inRate == outRate) return CreateCopyingResampler();
  auto resampler = std::make_unique<SpeexResampler>(inRate, outRate);
  if (!resampler->Valid()) return nullptr;
  return resampler;
}

}  // namespace standin
