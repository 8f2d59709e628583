// The speexdsp-backed voice processor: echo cancellation and gain control.
//
// speexdsp prints its warnings to stderr, which belongs to the host. The one
// this use can reach is the echo canceller resetting itself, either because
// a frame is too loud for its sanity check or because its output has grown
// louder than its input for 50 frames running. Frames too loud are passed
// by here, and a canceller whose output stays louder than its input is
// reset here first, silently; both are reported to the trace hook, at most
// once per kReportIntervalFrames.
#include <speex/speex_echo.h>
#include <speex/speex_preprocess.h>

#include <algorithm>
#include <vector>

#include "engine/standin/voice_processor.h"
#include "platform/trace.h"

namespace standin {
namespace {

constexpr int kReportIntervalFrames = 500;
// Frames of louder output after which the canceller is reset here, well
// before speexdsp's own count of 50.
constexpr int kDivergedFrames = 20;
// speexdsp refuses a frame whose pre-emphasised (0.9) mean square reaches
// 2e9; this stays clear of that by a tenth.
constexpr double kLoudestMeanSquare = 1.8e9;

bool TooLoudToCancel(const std::int16_t* pcm, int samples) {
  double sum = 0;
  int previous = 0;
  for (int i = 0; i < samples; ++i) {
    const double emphasised = pcm[i] - 0.9 * previous;
    sum += emphasised * emphasised;
    previous = pcm[i];
  }
  return samples > 0 && sum / samples >= kLoudestMeanSquare;
}

double Energy(const std::int16_t* pcm, int samples) {
  double sum = 0;
  for (int i = 0; i < samples; ++i) sum += static_cast<double>(pcm[i]) * pcm[i];
  return sum;
}

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
    if (echoCancellation_ && echo_) Cancel(capture, playout);
    if ((echoCancellation_ || gainControl_) && preprocess_)
      speex_preprocess_run(preprocess_, capture);
  }

 private:
  void Cancel(std::int16_t* capture, const std::int16_t* playout) {
    if (framesSinceReport_ < kReportIntervalFrames) ++framesSinceReport_;
    if (TooLoudToCancel(capture, frameSamples_) || TooLoudToCancel(playout, frameSamples_)) {
      Report("a frame too loud for the echo canceller passed unchanged");
      return;
    }
    speex_echo_cancellation(echo_, capture, playout, cleaned_.data());
    louderFrames_ = Energy(cleaned_.data(), frameSamples_) > Energy(capture, frameSamples_) + 1.0
                        ? louderFrames_ + 1
                        : 0;
    std::copy(cleaned_.begin(), cleaned_.end(), capture);
    if (louderFrames_ >= kDivergedFrames) {
      speex_echo_state_reset(echo_);
      louderFrames_ = 0;
      Report("the echo canceller diverged and was reset");
    }
  }

  void Report(const char* what) {
    ++unreported_;
    if (framesSinceReport_ < kReportIntervalFrames && reported_) return;
    platform::Trace("SpeexVoiceProcessor::Process, %s (%d times)", what, unreported_);
    reported_ = true;
    unreported_ = 0;
    framesSinceReport_ = 0;
  }

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
  int louderFrames_ = 0;
  bool reported_ = false;
  int unreported_ = 0;
  int framesSinceReport_ = 0;
};

}  // namespace

std::unique_ptr<VoiceProcessor> CreateVoiceProcessor(int sampleRate, int frameSamples) {
  return std::make_unique<SpeexVoiceProcessor>(sampleRate, frameSamples);
}

}  // namespace standin
