// G.722 at 64 kbit/s through spandsp: 320 samples at 16 kHz become 160
// bytes; the RTP clock runs at 8 kHz (160 ticks per 20 ms).
#include <cstdint>

#include <spandsp/telephony.h>
#include <spandsp/g722.h>

#include "engine/standin/codecs/codec_registry.h"
#include "engine/standin/codecs/library_codecs.h"
#include "engine/standin/codecs/period_concealer.h"

namespace standin {
namespace {

constexpr int kSampleRate = 16000;
constexpr int kFrameSamples = SamplesPer20Ms(kSampleRate);
constexpr int kBitRate = 64000;

class G722Encoder final : public AudioEncoder {
 public:
  G722Encoder() : state_(g722_encode_init(nullptr, kBitRate, 0)) {}
  ~G722Encoder() override {
    if (state_) g722_encode_free(state_);
  }
  G722Encoder(const G722Encoder&) = delete;
  G722Encoder& operator=(const G722Encoder&) = delete;
  bool Valid() const { return state_ != nullptr; }

  int SampleRate() const override { return kSampleRate; }
  int FrameSamples() const override { return kFrameSamples; }
  int RtpTicksPerFrame() const override { return kFrameSamples / 2; }
  bool Encode(const std::int16_t* pcm, std::vector<std::uint8_t>& payload) override {
    std::size_t start = payload.size();
    payload.resize(start + kFrameSamples / 2);
    int bytes = g722_encode(state_, payload.data() + start, pcm, kFrameSamples);
    payload.resize(start + static_cast<std::size_t>(bytes > 0 ? bytes : 0));
    return bytes == kFrameSamples / 2;
  }

 private:
  g722_encode_state_t* state_;
};

class G722Decoder final : public AudioDecoder {
 public:
  G722Decoder() : state_(g722_decode_init(nullptr, kBitRate, 0)) {}
  ~G722Decoder() override {
    if (state_) g722_decode_free(state_);
  }
  G722Decoder(const G722Decoder&) = delete;
  G722Decoder& operator=(const G722Decoder&) = delete;
  bool Valid() const { return state_ != nullptr; }

  int SampleRate() const override { return kSampleRate; }
  int FrameSamples() const override { return kFrameSamples; }
  // Every byte codes two samples, so any non-empty payload decodes.
  bool Decode(const std::uint8_t* payload, std::size_t size,
              std::vector<std::int16_t>& pcm) override {
    if (size == 0 || size > kMaxPayloadBytes) return false;
    std::size_t start = pcm.size();
    pcm.resize(start + 2 * size);
    int samples = g722_decode(state_, pcm.data() + start, payload, static_cast<int>(size));
    pcm.resize(start + static_cast<std::size_t>(samples > 0 ? samples : 0));
    if (samples > 0) concealer_.Received(pcm.data() + start, static_cast<std::size_t>(samples));
    return samples > 0;
  }
  // The library has no concealment; the decoder's state carries on from
  // the last good frame.
  void Conceal(std::vector<std::int16_t>& pcm) override {
    const std::size_t start = pcm.size();
    pcm.resize(start + kFrameSamples, 0);
    concealer_.Fill(pcm.data() + start, kFrameSamples);
  }

 private:
  g722_decode_state_t* state_;
  PeriodConcealer concealer_{kSampleRate};
};

}  // namespace

std::unique_ptr<AudioEncoder> CreateG722Encoder(const EngineCodecRecord&) {
  auto encoder = std::make_unique<G722Encoder>();
  if (!encoder->Valid()) return nullptr;
  return encoder;
}

std::unique_ptr<AudioDecoder> CreateG722Decoder(const EngineCodecRecord&) {
  auto decoder = std::make_unique<G722Decoder>();
  if (!decoder->Valid()) return nullptr;
  return decoder;
}

}  // namespace standin
