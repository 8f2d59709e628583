// OpenFileReader: a PcmSource of the stream's kind behind a resampler,
// served in frames of whatever size the caller asks.
#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "engine/gipsve_file.h"
#include "engine/standin/audio_file.h"
#include "engine/standin/error_codes.h"
#include "engine/standin/files/compressed_file.h"
#include "engine/standin/files/raw_pcm.h"
#include "engine/standin/files/resampler.h"
#include "engine/standin/files/wav_file.h"
#include "engine/standin/files/wav_header.h"

namespace standin {
namespace {

constexpr std::size_t kPullSamples = 960;

class FrameReader final : public FileAudioReader {
 public:
  FrameReader(std::unique_ptr<PcmSource> source, std::unique_ptr<Resampler> resampler)
      : source_(std::move(source)), resampler_(std::move(resampler)) {}

  // True while the frame holds data; the part of a frame past the end of
  // the data is silence.
  bool ReadFrame(std::int16_t* pcm, int samples) override {
    if (!pcm || samples <= 0) return false;
    auto wanted = static_cast<std::size_t>(samples);
    while (ready_.size() - position_ < wanted && !ended_) Pull();
    std::size_t copied = std::min(wanted, ready_.size() - position_);
    if (copied > 0) std::memcpy(pcm, ready_.data() + position_, copied * sizeof *pcm);
    std::fill(pcm + copied, pcm + wanted, static_cast<std::int16_t>(0));
    position_ += copied;
    if (position_ == ready_.size()) {
      ready_.clear();
      position_ = 0;
    }
    return copied > 0;
  }

 private:
  void Pull() {
    if (position_ > 0) {
      ready_.erase(ready_.begin(), ready_.begin() + static_cast<std::ptrdiff_t>(position_));
      position_ = 0;
    }
    std::int16_t chunk[kPullSamples];
    std::size_t got = source_->Read(chunk, kPullSamples);
    if (got == 0) {
      resampler_->Flush(ready_);
      ended_ = true;
      return;
    }
    resampler_->Process(chunk, got, ready_);
  }

  std::unique_ptr<PcmSource> source_;
  std::unique_ptr<Resampler> resampler_;
  std::vector<std::int16_t> ready_;
  std::size_t position_ = 0;
  bool ended_ = false;
};

}  // namespace

bool IsFileSampleRate(int sampleRate) { return sampleRate >= 1000 && sampleRate <= 384000; }

std::unique_ptr<PcmSource> OpenPcmSource(GIPSVEInStream* stream, int kind,
                                         const EngineCodecRecord* codec, int* error) {
  std::unique_ptr<PcmSource> source;
  switch (kind) {
    case kGIPSVEFilePcm:
      source = OpenRawPcmSource(StreamReader(stream));
      break;
    case kGIPSVEFileWav:
      source = OpenWavSource(stream, error);
      break;
    case kGIPSVEFileCompressed:
      source = OpenCompressedSource(StreamReader(stream), codec, error);
      break;
    default:
      *error = kInvalidArgument;
      return nullptr;
  }
  // Every frame's resampling work is bounded by the highest playable rate.
  if (source && !IsPlayableRate(source->SampleRate())) {
    *error = kBadFileData;
    return nullptr;
  }
  return source;
}

std::unique_ptr<FileAudioReader> OpenFileReader(GIPSVEInStream* stream, int kind,
                                                const EngineCodecRecord* codec, int sampleRate,
                                                int* error) {
  int ignored = kNoError;
  if (!error) error = &ignored;
  *error = kNoError;
  if (!stream || !IsFileSampleRate(sampleRate)) {
    *error = kInvalidArgument;
    return nullptr;
  }
  try {
    std::unique_ptr<PcmSource> source = OpenPcmSource(stream, kind, codec, error);
    if (!source) return nullptr;
    std::unique_ptr<Resampler> resampler = CreateResampler(source->SampleRate(), sampleRate);
    if (!resampler) {
      *error = kBadFileData;
      return nullptr;
    }
    return std::make_unique<FrameReader>(std::move(source), std::move(resampler));
  } catch (const std::bad_alloc&) {
    *error = kOutOfMemory;
    return nullptr;
  }
}

}  // namespace standin
