// Sample-rate conversion of 16-bit mono PCM. Builds with the DSP library
// use its filtering resampler (speexdsp); builds without it use the
// built-in linear interpolation, which does not filter aliasing away.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace standin {

class Resampler {
 public:
  virtual ~Resampler() = default;
  // Converts `count` samples and appends what is ready.
  virtual void Process(const std::int16_t* pcm, std::size_t count,
                       std::vector<std::int16_t>& out) = 0;
  // Appends what the filter still holds; call once at the end of the input.
  virtual void Flush(std::vector<std::int16_t>& out) = 0;
};

// Null when a rate is not positive. Equal rates copy. The output is aligned
// with the input (no leading delay), and after Flush its length is the
// input's scaled by outRate / inRate, within a few samples.
std::unique_ptr<Resampler> CreateResampler(int inRate, int outRate);

// The built-in resamplers, for every build.
std::unique_ptr<Resampler> CreateCopyingResampler();
std::unique_ptr<Resampler> CreateLinearResampler(int inRate, int outRate);

}  // namespace standin
