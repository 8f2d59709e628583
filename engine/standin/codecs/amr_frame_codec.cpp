#include "engine/standin/codecs/amr_frame_codec.h"

#include <algorithm>

#include "engine/standin/codecs/codec_registry.h"

namespace standin {
namespace {

constexpr std::size_t kStorageRoom = 64;
constexpr int kLargestFrame = SamplesPer20Ms(16000);

class AmrFamilyEncoder final : public AudioEncoder {
 public:
  AmrFamilyEncoder(const AmrEncoderLibrary& library, int mode)
      : library_(library), mode_(mode), state_(library.create()) {}
  ~AmrFamilyEncoder() override {
    if (state_) library_.destroy(state_);
  }
  AmrFamilyEncoder(const AmrFamilyEncoder&) = delete;
  AmrFamilyEncoder& operator=(const AmrFamilyEncoder&) = delete;
  bool Valid() const { return state_ != nullptr; }

  int SampleRate() const override { return library_.sampleRate; }
  int FrameSamples() const override { return SamplesPer20Ms(library_.sampleRate); }
  int RtpTicksPerFrame() const override { return FrameSamples(); }
  // The narrowband library scales and filters its input in place, despite
  // the const in its signature, so it gets a copy.
  bool Encode(const std::int16_t* pcm, std::vector<std::uint8_t>& payload) override {
    std::int16_t frame[kLargestFrame];
    std::copy_n(pcm, FrameSamples(), frame);
    std::uint8_t storage[kStorageRoom] = {};
    int size = library_.encode(state_, mode_, frame, storage);
    if (size <= 0 || static_cast<std::size_t>(size) > kStorageRoom) return false;
    return amr::StorageFrameToPayload(library_.band, storage, static_cast<std::size_t>(size),
                                      payload);
  }

 private:
  AmrEncoderLibrary library_;
  int mode_;
  void* state_;
};

class AmrFamilyDecoder final : public AudioDecoder {
 public:
  explicit AmrFamilyDecoder(const AmrDecoderLibrary& library)
      : library_(library), state_(library.create()), concealer_(library.concealer()) {}
  ~AmrFamilyDecoder() override {
    if (state_) library_.destroy(state_);
  }
  AmrFamilyDecoder(const AmrFamilyDecoder&) = delete;
  AmrFamilyDecoder& operator=(const AmrFamilyDecoder&) = delete;
  bool Valid() const { return state_ != nullptr; }
  bool Concealing() const { return concealer_ != nullptr; }

  int SampleRate() const override { return library_.sampleRate; }
  int FrameSamples() const override { return SamplesPer20Ms(library_.sampleRate); }
  bool Decode(const std::uint8_t* payload, std::size_t size,
              std::vector<std::int16_t>& pcm) override {
    std::vector<std::uint8_t> storage;
    int frames = 0;
    if (!amr::PayloadToStorageFrames(library_.band, payload, size, storage, &frames)) return false;
    std::size_t offset = 0;
    const std::size_t start = pcm.size();
    for (int i = 0; i < frames; ++i) {
      auto frameSize =
          static_cast<std::size_t>(amr::StorageFrameSize(library_.band, storage[offset]));
      DecodeStorage(storage.data() + offset, frameSize, pcm);
      offset += frameSize;
    }
    concealer_->Received(pcm.data() + start, pcm.size() - start);
    return true;
  }
  void Conceal(std::vector<std::int16_t>& pcm) override {
    std::vector<std::int16_t> erased;
    DecodeStorage(&library_.lostFrameToc, 1, erased);
    const std::size_t start = pcm.size();
    pcm.resize(start + static_cast<std::size_t>(FrameSamples()), 0);
    concealer_->Fill(pcm.data() + start, static_cast<std::size_t>(FrameSamples()));
  }

 private:
  void DecodeStorage(const std::uint8_t* frame, std::size_t size, std::vector<std::int16_t>& pcm) {
    std::uint8_t padded[kStorageRoom] = {};
    std::copy_n(frame, std::min(size, kStorageRoom), padded);
    std::size_t start = pcm.size();
    pcm.resize(start + static_cast<std::size_t>(FrameSamples()));
    library_.decode(state_, padded, pcm.data() + start);
  }

  AmrDecoderLibrary library_;
  void* state_;
  std::unique_ptr<LossConcealer> concealer_;
};

}  // namespace

std::unique_ptr<AudioEncoder> CreateAmrFamilyEncoder(const AmrEncoderLibrary& library, int rate) {
  auto encoder = std::make_unique<AmrFamilyEncoder>(library, amr::ModeForRate(library.band, rate));
  if (!encoder->Valid()) return nullptr;
  return encoder;
}

std::unique_ptr<AudioDecoder> CreateAmrFamilyDecoder(const AmrDecoderLibrary& library) {
  auto decoder = std::make_unique<AmrFamilyDecoder>(library);
  if (!decoder->Valid() || !decoder->Concealing()) return nullptr;
  return decoder;
}

}  // namespace standin
