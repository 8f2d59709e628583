// The Windows build plays to and records from the null device only.
#include "engine/standin/sound_device.h"

namespace standin {

std::unique_ptr<SoundDevice> OpenSoundDevice(SoundDirection, int, int) {
  return OpenNullSoundDevice();
}

}  // namespace standin
