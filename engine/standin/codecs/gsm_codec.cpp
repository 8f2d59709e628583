// GSM 06.10 full rate through libgsm: 160 samples become one 33-byte frame.
#include <gsm.h>

#include <cstring>
#include <memory>

#include "engine/standin/codecs/codec_registry.h"
#include "engine/standin/codecs/g711_codec.h"
#include "engine/standin/codecs/library_codecs.h"

namespace standin {
namespace {

constexpr int kSampleRate = 8000;
constexpr int kFrameSamples = SamplesPer20Ms(kSampleRate);
constexpr std::size_t kFrameBytes = 33;

// One libgsm state, shared by the encoder and decoder shapes below.
class GsmState {
 public:
  GsmState() : state_(gsm_create()) {}
  ~GsmState() {
    if (state_) gsm_destroy(state_);
  }
  GsmState(const GsmState&) = delete;
  GsmState& operator=(const GsmState&) = delete;
  gsm get() const { return state_; }

 private:
  gsm state_;
};

class GsmEncoder final : public AudioEncoder {
 public:
  bool Valid() const { return state_.get() != nullptr; }
  int SampleRate() const override { return kSampleRate; }
  int FrameSamples() const override { return kFrameSamples; }
  int RtpTicksPerFrame() const override { return kFrameSamples; }
  bool Encode(const std::int16_t* pcm, std::vector<std::uint8_t>& payload) override {
    gsm_signal samples[kFrameSamples];
    std::memcpy(samples, pcm, sizeof samples);
    gsm_byte frame[kFrameBytes];
    gsm_encode(state_.get(), samples, frame);
    payload.insert(payload.end(), frame, frame + kFrameBytes);
    return true;
  }

 private:
  GsmState state_;
};

class GsmDecoder final : public AudioDecoder {
 public:
  bool Valid() const { return state_.get() != nullptr; }
  int SampleRate() const override { return kSampleRate; }
  int FrameSamples() const override { return kFrameSamples; }
  // Whole 33-byte frames, each with the format's signature nibble.
  bool Decode(const std::uint8_t* payload, std::size_t size,
              std::vector<std::int16_t>& pcm) override {
    if (size == 0 || size % kFrameBytes != 0 || size > kMaxPayloadBytes) return false;
    std::vector<std::int16_t> decoded(size / kFrameBytes * kFrameSamples);
    for (std::size_t frame = 0; frame < size / kFrameBytes; ++frame) {
      gsm_byte bits[kFrameBytes];
      std::memcpy(bits, payload + frame * kFrameBytes, kFrameBytes);
      if (gsm_decode(state_.get(), bits, decoded.data() + frame * kFrameSamples) != 0) return false;
    }
    concealer_->Received(decoded.data(), decoded.size());
    pcm.insert(pcm.end(), decoded.begin(), decoded.end());
    return true;
  }
  // libgsm has no concealment of its own: the telephony library's fills in.
  void Conceal(std::vector<std::int16_t>& pcm) override {
    const std::size_t first = pcm.size();
    pcm.resize(first + kFrameSamples, 0);
    concealer_->Fill(pcm.data() + first, kFrameSamples);
  }

 private:
  GsmState state_;
  std::unique_ptr<LossConcealer> concealer_ = LibraryConcealer();
};

}  // namespace

std::unique_ptr<AudioEncoder> CreateGsmEncoder(const EngineCodecRecord&) {
  auto encoder = std::make_unique<GsmEncoder>();
  if (!encoder->Valid()) return nullptr;
  return encoder;
}

std::unique_ptr<AudioDecoder> CreateGsmDecoder(const EngineCodecRecord&) {
  auto decoder = std::make_unique<GsmDecoder>();
  if (!decoder->Valid()) return nullptr;
  return decoder;
}

}  // namespace standin
