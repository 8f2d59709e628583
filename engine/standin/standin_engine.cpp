#include "engine/standin/standin_engine.h"

namespace standin {

StandInEngine::StandInEngine()
    : base_(*this),
      codec_(*this),
      vqe_(*this),
      file_(*this),
      volume_(*this),
      hardware_(*this),
      videoSync_(*this),
      network_(*this),
      dtmf_(*this) {}

StandInEngine::~StandInEngine() = default;

StandInEngine* StandInEngine::FromContract(GIPSVoiceEngine* engine) {
  return dynamic_cast<StandInEngine*>(engine);
}

bool StandInEngine::AnyInterfaceHeld() const {
  return base_.Held() || codec_.Held() || vqe_.Held() || file_.Held() || volume_.Held() ||
         hardware_.Held() || videoSync_.Held() || network_.Held() || dtmf_.Held();
}

int StandInEngine::ReleaseReference(InterfaceReference& reference) {
  int left = reference.Release();
  return left < 0 ? Fail(kInterfaceNotHeld) : left;
}

StandInChannel* StandInEngine::ChannelOrFail(int channel) {
  StandInChannel* found = channels_.Find(channel);
  if (!found) Fail(kUnknownChannel);
  return found;
}

}  // namespace standin
