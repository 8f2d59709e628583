#include "engine/standin/codecs/g711_codec.h"

#include "engine/standin/codecs/codec_registry.h"
#include "engine/standin/codecs/period_concealer.h"

#include <utility>

namespace standin {
namespace {

constexpr int kSampleRate = 8000;
constexpr int kFrameSamples = SamplesPer20Ms(kSampleRate);

class G711Encoder final : public AudioEncoder {
 public:
  explicit G711Encoder(const G711Law& law) : law_(law) {}
  int SampleRate() const override { return kSampleRate; }
  int FrameSamples() const override { return kFrameSamples; }
  int RtpTicksPerFrame() const override { return kFrameSamples; }
  bool Encode(const std::int16_t* pcm, std::vector<std::uint8_t>& payload) override {
    for (int i = 0; i < kFrameSamples; ++i) payload.push_back(law_.encode(pcm[i]));
    return true;
  }

 private:
  G711Law law_;
};

class G711Decoder final : public AudioDecoder {
 public:
  G711Decoder(const G711Law& law, std::unique_ptr<LossConcealer> concealer)
      : law_(law),
        concealer_(concealer ? std::move(concealer) : CreatePeriodConcealer(kSampleRate)) {}
  int SampleRate() const override { return kSampleRate; }
  int FrameSamples() const override { return kFrameSamples; }
  // Every byte is a sample, so any non-empty payload decodes.
  bool Decode(const std::uint8_t* payload, std::size_t size,
              std::vector<std::int16_t>& pcm) override {
    if (size == 0 || size > kMaxPayloadBytes) return false;
    const std::size_t first = pcm.size();
    pcm.reserve(first + size);
    for (std::size_t i = 0; i < size; ++i) pcm.push_back(law_.decode(payload[i]));
    concealer_->Received(pcm.data() + first, size);
    return true;
  }
  void Conceal(std::vector<std::int16_t>& pcm) override {
    const std::size_t first = pcm.size();
    pcm.resize(first + kFrameSamples, 0);
    concealer_->Fill(pcm.data() + first, kFrameSamples);
  }

 private:
  G711Law law_;
  std::unique_ptr<LossConcealer> concealer_;
};

}  // namespace

std::unique_ptr<AudioEncoder> CreateG711Encoder(const G711Law& law) {
  return std::make_unique<G711Encoder>(law);
}

std::unique_ptr<AudioDecoder> CreateG711Decoder(const G711Law& law,
                                                std::unique_ptr<LossConcealer> concealer) {
  return std::make_unique<G711Decoder>(law, std::move(concealer));
}

}  // namespace standin
