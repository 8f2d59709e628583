// The speexdsp-backed voice processor: echo cancellation and gain control.
#include <speex/speex_echo.h>
#include <speex/speex_preprocess.h>

#include <algorithm>
#include <vector>

#include "engine/standin/voice_processor.h"

namespace standin {
namespace {

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

std::unique_ptr<VoiceProcessor> CreateVoiceProcessor(int sampleRate, int frameSamples) {
  return std::make_unique<SpeexVoiceProcessor>(sampleRate, frameSamples);
}

}  // namespace standin
