// The voice processor of builds without speexdsp: no echo cancellation or
// gain control.
#include "engine/standin/voice_processor.h"

namespace standin {
namespace {

class PassThroughVoiceProcessor final : public VoiceProcessor {
 public:
  void SetEchoCancellation(bool) override {}
  void SetGainControl(bool) override {}
  void Process(std::int16_t*, const std::int16_t*) override {}
};

}  // namespace

std::unique_ptr<VoiceProcessor> CreateVoiceProcessor(int, int) {
  return std::make_unique<PassThroughVoiceProcessor>();
}

}  // namespace standin
