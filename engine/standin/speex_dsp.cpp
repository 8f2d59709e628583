// The speexdsp-backed jitter buffer and voice processor.
#include <speex/speex_echo.h>
#include <speex/speex_jitter.h>
#include <speex/speex_preprocess.h>

#include <algorithm>

#include "engine/standin/jitter_buffer.h"
#include "engine/standin/voice_processor.h"

namespace standin {
namespace {

// speexdsp's adaptive buffer. It copies packets in and out, so every packet
// it holds is its own allocation, freed when played, late or displaced (at
// most its fixed capacity of packets is held).
class SpeexJitterBuffer final : public JitterBuffer {
 public:
  explicit SpeexJitterBuffer(int ticksPerFrame)
      : buffer_(jitter_buffer_init(ticksPerFrame)), out_(kMaxJitterPayload) {}
  ~SpeexJitterBuffer() override {
    if (buffer_) jitter_buffer_destroy(buffer_);
  }
  SpeexJitterBuffer(const SpeexJitterBuffer&) = delete;
  SpeexJitterBuffer& operator=(const SpeexJitterBuffer&) = delete;

  bool Valid() const { return buffer_ != nullptr; }

  void Put(const std::uint8_t* payload, std::size_t size, std::uint32_t timestamp, int span,
           std::uint16_t sequence, int payloadType) override {
    if (size > kMaxJitterPayload || span <= 0) return;
    JitterBufferPacket packet{};
    // speexdsp copies the bytes and never writes through this pointer.
    packet.data = const_cast<char*>(reinterpret_cast<const char*>(payload));
    packet.len = static_cast<spx_uint32_t>(size);
    packet.timestamp = timestamp;
    packet.span = static_cast<spx_uint32_t>(span);
    packet.sequence = sequence;
    packet.user_data = static_cast<spx_uint32_t>(payloadType);
    jitter_buffer_put(buffer_, &packet);
  }

  Result Get(int span, JitterPacket* out) override {
    JitterBufferPacket packet{};
    packet.data = reinterpret_cast<char*>(out_.data());
    packet.len = static_cast<spx_uint32_t>(out_.size());
    spx_int32_t offset = 0;
    const int status = jitter_buffer_get(buffer_, &packet, span, &offset);
    out->payload.clear();
    if (status == JITTER_BUFFER_OK) {
      out->payload.assign(out_.begin(),
                          out_.begin() + std::min<std::size_t>(packet.len, out_.size()));
      out->payloadType = static_cast<int>(packet.user_data);
      out->span = static_cast<int>(packet.span);
      return Result::kPacket;
    }
    out->span = static_cast<int>(packet.span);
    return Result::kGap;
  }

  void Tick() override { jitter_buffer_tick(buffer_); }
  void Reset() override { jitter_buffer_reset(buffer_); }
  int Held() const override {
    int count = 0;
    jitter_buffer_ctl(buffer_, JITTER_BUFFER_GET_AVAILABLE_COUNT, &count);
    return count;
  }

 private:
  ::JitterBuffer* buffer_;  // speexdsp's type of that name
  std::vector<std::uint8_t> out_;
};

class SpeexVoiceProcessor final : public VoiceProcessor {
 public:
  SpeexVoiceProcessor(int sampleRate, int frameSamples)
      : sampleRate_(sampleRate), frameSamples_(frameSamples), cleaned_(frameSamples) {}
  ~SpeexVoiceProcessor() override {
    if (preprocess_) speex_preprocess_state_destroy(preprocess_);
    if (echo_) speex_echo_state_destroy(echo_);
  }
  SpeexVoiceProcessor(const SpeexVoiceProcessor&) = delete;
  SpeexVoiceProcessor& operator=(const SpeexVoiceProcessor&) = delete;

  void SetEchoCancellation(bool enable) override {
    echoCancellation_ = enable;
    Configure();
  }
  void SetGainControl(bool enable) override {
    gainControl_ = enable;
    Configure();
  }

  void Process(std::int16_t* capture, const std::int16_t* playout) override {
    if (echoCancellation_ && echo_) {
      speex_echo_cancellation(echo_, capture, playout, cleaned_.data());
      std::copy(cleaned_.begin(), cleaned_.end(), capture);
    }
    if ((echoCancellation_ || gainControl_) && preprocess_)
      speex_preprocess_run(preprocess_, capture);
  }

 private:
  // The states are made when first needed and kept: rebuilding would lose
  // what the echo canceller has learnt.
  void Configure() {
    if (echoCancellation_ && !echo_) {
      echo_ = speex_echo_state_init(frameSamples_, sampleRate_ / 8);  // 125 ms of echo tail
      if (echo_) {
        int rate = sampleRate_;
        speex_echo_ctl(echo_, SPEEX_ECHO_SET_SAMPLING_RATE, &rate);
      }
    }
    if ((echoCancellation_ || gainControl_) && !preprocess_)
      preprocess_ = speex_preprocess_state_init(frameSamples_, sampleRate_);
    if (!preprocess_) return;
    int off = 0;
    speex_preprocess_ctl(preprocess_, SPEEX_PREPROCESS_SET_DENOISE, &off);
    int agc = gainControl_ ? 1 : 0;
    speex_preprocess_ctl(preprocess_, SPEEX_PREPROCESS_SET_AGC, &agc);
    // Residual echo suppression needs the canceller's state, or none.
    speex_preprocess_ctl(preprocess_, SPEEX_PREPROCESS_SET_ECHO_STATE,
                         echoCancellation_ ? echo_ : nullptr);
  }

  int sampleRate_;
  int frameSamples_;
  bool echoCancellation_ = false;
  bool gainControl_ = false;
  SpeexEchoState* echo_ = nullptr;
  SpeexPreprocessState* preprocess_ = nullptr;
  std::vector<std::int16_t> cleaned_;
};

}  // namespace

std::unique_ptr<JitterBuffer> CreateJitterBuffer(int ticksPerFrame) {
  auto buffer = std::make_unique<SpeexJitterBuffer>(ticksPerFrame);
  if (buffer->Valid()) return buffer;
  return std::make_unique<PlainJitterBuffer>(ticksPerFrame);
}

std::unique_ptr<VoiceProcessor> CreateVoiceProcessor(int sampleRate, int frameSamples) {
  return std::make_unique<SpeexVoiceProcessor>(sampleRate, frameSamples);
}

}  // namespace standin
