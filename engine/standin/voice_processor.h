// Echo cancellation and automatic gain control of the microphone signal,
// in 20 ms frames at the engine rate. CreateVoiceProcessor gives speexdsp's
// echo canceller and preprocessor where the library exists (Linux); builds
// without it pass the signal through unchanged.
#pragma once

#include <cstdint>
#include <memory>

namespace standin {

class VoiceProcessor {
 public:
  virtual ~VoiceProcessor() = default;
  virtual void SetEchoCancellation(bool enable) = 0;
  virtual void SetGainControl(bool enable) = 0;
  // Processes `capture` in place; `playout` is what the speaker played during
  // the same frame (the echo reference).
  virtual void Process(std::int16_t* capture, const std::int16_t* playout) = 0;
};

std::unique_ptr<VoiceProcessor> CreateVoiceProcessor(int sampleRate, int frameSamples);

}  // namespace standin
