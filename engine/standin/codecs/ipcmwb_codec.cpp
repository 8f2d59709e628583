#include "engine/standin/codecs/ipcmwb_codec.h"

#include "engine/standin/codecs/codec_registry.h"
#include "engine/standin/codecs/period_concealer.h"

namespace standin {
namespace {

constexpr int kSampleRate = 16000;
constexpr int kFrameSamples = SamplesPer20Ms(kSampleRate);

class IpcmwbEncoder final : public AudioEncoder {
 public:
  int SampleRate() const override { return kSampleRate; }
  int FrameSamples() const override { return kFrameSamples; }
  int RtpTicksPerFrame() const override { return kFrameSamples; }
  bool Encode(const std::int16_t* pcm, std::vector<std::uint8_t>& payload) override {
    for (int i = 0; i < kFrameSamples; ++i) {
      auto bits = static_cast<std::uint16_t>(pcm[i]);
      payload.push_back(static_cast<std::uint8_t>(bits >> 8));
      payload.push_back(static_cast<std::uint8_t>(bits & 0xFF));
    }
    return true;
  }
};

class IpcmwbDecoder final : public AudioDecoder {
 public:
  int SampleRate() const override { return kSampleRate; }
  int FrameSamples() const override { return kFrameSamples; }
  // Any whole number of samples decodes; an odd byte count does not.
  bool Decode(const std::uint8_t* payload, std::size_t size,
              std::vector<std::int16_t>& pcm) override {
    if (size == 0 || size % 2 != 0 || size > kMaxPayloadBytes) return false;
    const std::size_t start = pcm.size();
    pcm.reserve(start + size / 2);
    for (std::size_t i = 0; i < size; i += 2)
      pcm.push_back(static_cast<std::int16_t>((payload[i] << 8) | payload[i + 1]));
    concealer_.Received(pcm.data() + start, size / 2);
    return true;
  }
  void Conceal(std::vector<std::int16_t>& pcm) override {
    const std::size_t start = pcm.size();
    pcm.resize(start + kFrameSamples, 0);
    concealer_.Fill(pcm.data() + start, kFrameSamples);
  }

 private:
  PeriodConcealer concealer_{kSampleRate};
};

}  // namespace

std::unique_ptr<AudioEncoder> CreateIpcmwbEncoder(const EngineCodecRecord&) {
  return std::make_unique<IpcmwbEncoder>();
}

std::unique_ptr<AudioDecoder> CreateIpcmwbDecoder(const EngineCodecRecord&) {
  return std::make_unique<IpcmwbDecoder>();
}

}  // namespace standin
