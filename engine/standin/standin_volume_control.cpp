#include "engine/standin/standin_volume_control.h"

#include "engine/standin/standin_engine.h"

namespace standin {

int StandInVolumeControl::SetMicVolume(int level) {
  if (level < 0 || level > 255) return engine_.Fail(kInvalidArgument);
  micVolume_ = level;
  return 0;
}

int StandInVolumeControl::GetMicVolume(int& level) {
  level = micVolume_;
  return 0;
}

int StandInVolumeControl::SetInputMute(int channel, bool mute) {
  StandInChannel* state = engine_.ChannelOrFail(channel);
  if (!state) return -1;
  state->inputMute = mute;
  return 0;
}

int StandInVolumeControl::GetMicLevel(int& level) {
  level = 0;
  return 0;
}

int StandInVolumeControl::GetSpeakerLevel(int channel, int& level) {
  if (channel != -1 && !engine_.ChannelOrFail(channel)) return -1;
  level = 0;
  return 0;
}

int StandInVolumeControl::Release() { return engine_.ReleaseReference(references_); }

}  // namespace standin
