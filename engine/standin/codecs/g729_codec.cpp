// G.729 through bcg729: each 10 ms (80 samples) is one 10-byte frame, so a
// 20 ms payload is 20 bytes. The encoder runs without annex B VAD; the
// decoder also takes a trailing 2-byte annex B SID frame.
// The library's headers declare C functions without saying so.
extern "C" {
#include <bcg729/decoder.h>
#include <bcg729/encoder.h>
}

#include "engine/standin/codecs/codec_registry.h"
#include "engine/standin/codecs/period_concealer.h"
#include "engine/standin/codecs/library_codecs.h"

namespace standin {
namespace {

constexpr int kSampleRate = 8000;
constexpr int kFrameSamples = SamplesPer20Ms(kSampleRate);
constexpr int kSubframeSamples = 80;
constexpr std::size_t kSubframeBytes = 10;
constexpr std::size_t kSidBytes = 2;

class G729Encoder final : public AudioEncoder {
 public:
  G729Encoder() : state_(initBcg729EncoderChannel(0)) {}
  ~G729Encoder() override {
    if (state_) closeBcg729EncoderChannel(state_);
  }
  G729Encoder(const G729Encoder&) = delete;
  G729Encoder& operator=(const G729Encoder&) = delete;
  bool Valid() const { return state_ != nullptr; }

  int SampleRate() const override { return kSampleRate; }
  int FrameSamples() const override { return kFrameSamples; }
  int RtpTicksPerFrame() const override { return kFrameSamples; }
  bool Encode(const std::int16_t* pcm, std::vector<std::uint8_t>& payload) override {
    for (int offset = 0; offset < kFrameSamples; offset += kSubframeSamples) {
      std::uint8_t bits[kSubframeBytes] = {};
      std::uint8_t length = 0;
      bcg729Encoder(state_, pcm + offset, bits, &length);
      if (length != kSubframeBytes) return false;
      payload.insert(payload.end(), bits, bits + length);
    }
    return true;
  }

 private:
  bcg729EncoderChannelContextStruct* state_;
};

class G729Decoder final : public AudioDecoder {
 public:
  G729Decoder() : state_(initBcg729DecoderChannel()) {}
  ~G729Decoder() override {
    if (state_) closeBcg729DecoderChannel(state_);
  }
  G729Decoder(const G729Decoder&) = delete;
  G729Decoder& operator=(const G729Decoder&) = delete;
  bool Valid() const { return state_ != nullptr; }

  int SampleRate() const override { return kSampleRate; }
  int FrameSamples() const override { return kFrameSamples; }
  // Whole 10-byte frames, optionally followed by one SID frame.
  bool Decode(const std::uint8_t* payload, std::size_t size,
              std::vector<std::int16_t>& pcm) override {
    std::size_t remainder = size % kSubframeBytes;
    if (size == 0 || size > kMaxPayloadBytes || (remainder != 0 && remainder != kSidBytes))
      return false;
    std::size_t start = pcm.size();
    for (std::size_t offset = 0; offset + kSubframeBytes <= size; offset += kSubframeBytes)
      DecodeOne(payload + offset, kSubframeBytes, 0, 0, pcm);
    if (remainder == kSidBytes) DecodeOne(payload + size - kSidBytes, kSidBytes, 0, 1, pcm);
    concealer_->Received(pcm.data() + start, pcm.size() - start);
    return pcm.size() > start;
  }
  // The library is told of the erasure so its state follows the loss, but
  // its own concealment fades a steady sound by 10 dB within a frame: the
  // pitch-period repetition is played instead.
  void Conceal(std::vector<std::int16_t>& pcm) override {
    const std::uint8_t nothing[kSubframeBytes] = {};
    std::vector<std::int16_t> erased;
    for (int offset = 0; offset < kFrameSamples; offset += kSubframeSamples)
      DecodeOne(nothing, kSubframeBytes, 1, 0, erased);
    const std::size_t start = pcm.size();
    pcm.resize(start + kFrameSamples, 0);
    concealer_->Fill(pcm.data() + start, kFrameSamples);
  }

 private:
  void DecodeOne(const std::uint8_t* bits, std::size_t length, std::uint8_t erased,
                 std::uint8_t sid, std::vector<std::int16_t>& pcm) {
    std::size_t start = pcm.size();
    pcm.resize(start + kSubframeSamples);
    bcg729Decoder(state_, bits, static_cast<std::uint8_t>(length), erased, sid, 0,
                  pcm.data() + start);
  }

  bcg729DecoderChannelContextStruct* state_;
  std::unique_ptr<LossConcealer> concealer_ = CreatePeriodConcealer(kSampleRate);
};

}  // namespace

std::unique_ptr<AudioEncoder> CreateG729Encoder(const EngineCodecRecord&) {
  auto encoder = std::make_unique<G729Encoder>();
  if (!encoder->Valid()) return nullptr;
  return encoder;
}

std::unique_ptr<AudioDecoder> CreateG729Decoder(const EngineCodecRecord&) {
  auto decoder = std::make_unique<G729Decoder>();
  if (!decoder->Valid()) return nullptr;
  return decoder;
}

}  // namespace standin
