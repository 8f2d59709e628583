// Builds without the DSP library resample by linear interpolation.
#include "engine/standin/files/resampler.h"

namespace standin {

std::unique_ptr<Resampler> CreateResampler(int inRate, int outRate) {
  return CreateLinearResampler(inRate, outRate);
}

}  // namespace standin
