#include "engine/standin/standin_hardware.h"

#include "engine/standin/standin_engine.h"

namespace standin {

int StandInHardware::SetSoundDevices(int recordingDevice, int playbackDevice, int, int, int) {
  if (recordingDevice < -1 || playbackDevice < -1) return engine_.Fail(kInvalidArgument);
  engine_.Media().SetSoundDevices(recordingDevice, playbackDevice);
  return 0;
}

int StandInHardware::Release() { return engine_.ReleaseReference(references_); }

}  // namespace standin
