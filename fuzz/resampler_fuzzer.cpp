// Feeds 16-bit samples at rates the input chooses through the resamplers
// (the build's own and the built-in linear one) in chunks the input
// chooses, and checks the length promise: after Flush the output is the
// input scaled by the rate ratio, within a few samples.
//
// Input: four bytes of rates (two 16-bit little-endian values, each read as
// 1000 + value % 47001 Hz), one byte of chunk size, then the samples.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/standin/files/resampler.h"

namespace {

// How far the output length may stray from the scaled input length.
constexpr double kLengthSlack = 8.0;

void Check(std::unique_ptr<standin::Resampler> resampler, const std::vector<std::int16_t>& pcm,
           std::size_t chunk, int inRate, int outRate) {
  if (!resampler) __builtin_trap();
  std::vector<std::int16_t> out;
  for (std::size_t at = 0; at < pcm.size(); at += chunk) {
    const std::size_t count = pcm.size() - at < chunk ? pcm.size() - at : chunk;
    resampler->Process(pcm.data() + at, count, out);
  }
  resampler->Flush(out);
  const double expected = static_cast<double>(pcm.size()) * outRate / inRate;
  const double got = static_cast<double>(out.size());
  if (got > expected + kLengthSlack || got + kLengthSlack < expected) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const int inRate = 1000 + (data[0] | data[1] << 8) % 47001;
  const int outRate = 1000 + (data[2] | data[3] << 8) % 47001;
  const std::size_t chunk = 1 + data[4];
  std::vector<std::int16_t> pcm((size - 5) / 2);
  if (!pcm.empty()) std::memcpy(pcm.data(), data + 5, pcm.size() * 2);

  Check(standin::CreateResampler(inRate, outRate), pcm, chunk, inRate, outRate);
  Check(standin::CreateLinearResampler(inRate, outRate), pcm, chunk, inRate, outRate);
  if (standin::CreateResampler(0, outRate) || standin::CreateResampler(inRate, -1))
    __builtin_trap();
  return 0;
}
