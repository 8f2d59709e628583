// The sound system's backend where the build has no sound system: a machine
// without sound devices, on which every open fails.
#include "platform/audio_device_backend.h"

namespace platform {

namespace {

class NoAudioDevices final : public AudioDeviceBackend {
 public:
  UINT MixerCount() override { return 0; }
  bool DescribeMixer(UINT, MixerDescription*) override { return false; }
  unsigned MixerGeneration(UINT) override { return 0; }
  MMRESULT GetControlValue(UINT, DWORD, DWORD*) override { return MMSYSERR_NODRIVER; }
  MMRESULT SetControlValue(UINT, DWORD, DWORD) override { return MMSYSERR_NODRIVER; }
  UINT WaveOutCount() override { return 0; }
  bool WaveOutMixer(UINT, UINT*) override { return false; }
  MMRESULT OpenWaveOut(UINT, const WAVEFORMATEX&, void**) override { return MMSYSERR_NODRIVER; }
  MMRESULT ResetWaveOut(void*) override { return MMSYSERR_INVALHANDLE; }
  MMRESULT CloseWaveOut(void*) override { return MMSYSERR_INVALHANDLE; }
};

}  // namespace

AudioDeviceBackend& SystemAudioDeviceBackend() {
  static NoAudioDevices* backend = new NoAudioDevices;
  return *backend;
}

}  // namespace platform
