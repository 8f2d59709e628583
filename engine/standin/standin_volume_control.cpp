#include "engine/standin/standin_volume_control.h"

#include <algorithm>

#include "engine/standin/standin_engine.h"

namespace standin {

int StandInVolumeControl::SetMicVolume(int level) {
  if (level < 0 || level > 255) return engine_.Fail(kInvalidArgument);
  engine_.Media().SetMicrophoneVolume(level);
  micVolume_ = level;
  return 0;
}

int StandInVolumeControl::GetMicVolume(int& level) {
  level = micVolume_;
  return 0;
}

int StandInVolumeControl::SetInputMute(int channel, bool mute) {
  if (!engine_.ChannelOrFail(channel)) return -1;
  const int error = engine_.Media().WithChannel(channel, [&](MediaChannel& media) {
    media.SetMute(mute);
    return kNoError;
  });
  if (error != kNoError) return engine_.Fail(error);
  return 0;
}

int StandInVolumeControl::GetMicLevel(int& level) {
  level = engine_.Media().MicrophoneLevel();
  return 0;
}

int StandInVolumeControl::GetSpeakerLevel(int channel, int& level) {
  if (channel != -1 && !engine_.ChannelOrFail(channel)) return -1;
  level = std::max(0, engine_.Media().SpeakerLevel(channel));
  return 0;
}

int StandInVolumeControl::Release() { return engine_.ReleaseReference(references_); }

}  // namespace standin
