// What the mixer and wave-out functions of platform/mixer.h run on outside
// Windows: a description of the sound devices and access to their volume
// controls. The sound system's backend is the default; a test installs a
// FakeAudioDevices (platform/fake_audio_devices.h) with
// ScopedAudioDeviceBackendForTesting. Backends are called with the mixer
// layer's lock held, so they need no lock of their own against it.
#pragma once

#include <vector>

#include "platform/mixer.h"
#include "platform/wide_text.h"

namespace platform {

struct MixerControlDescription {
  DWORD id = 0;  // unique within the mixer
  DWORD type = MIXERCONTROL_CONTROLTYPE_VOLUME;
  OleString name;
};

struct MixerLineDescription {
  DWORD componentType = 0;  // MIXERLINE_COMPONENTTYPE_*
  OleString name;
  DWORD channels = 2;
  DWORD targetType = MIXERLINE_TARGETTYPE_UNDEFINED;
  DWORD targetDevice = 0;  // the wave-out device of a MIXERLINE_TARGETTYPE_WAVEOUT line
  std::vector<MixerControlDescription> controls;
};

struct MixerDestinationDescription {
  MixerLineDescription line;
  std::vector<MixerLineDescription> sources;
};

struct MixerDescription {
  OleString name;
  std::vector<MixerDestinationDescription> destinations;
};

class AudioDeviceBackend {
 public:
  virtual ~AudioDeviceBackend() = default;

  // Mixers are numbered from 0.
  virtual UINT MixerCount() = 0;
  // The lines and controls of `mixer`; false when there is no such mixer.
  virtual bool DescribeMixer(UINT mixer, MixerDescription* description) = 0;
  // Changes when the device behind `mixer` is replaced; 0 when it is gone.
  // Handles opened on another generation are no longer valid.
  virtual unsigned MixerGeneration(UINT mixer) = 0;
  // Control values run from 0 to 65535.
  virtual MMRESULT GetControlValue(UINT mixer, DWORD controlId, DWORD* value) = 0;
  virtual MMRESULT SetControlValue(UINT mixer, DWORD controlId, DWORD value) = 0;

  // Wave-out devices are numbered from 0; WAVE_MAPPER names the preferred one.
  virtual UINT WaveOutCount() = 0;
  // The mixer of wave-out device `device`; false when it has none.
  virtual bool WaveOutMixer(UINT device, UINT* mixer) = 0;
  // Opens `device` for playback in `format`; `stream` receives the backend's
  // own handle for the calls below.
  virtual MMRESULT OpenWaveOut(UINT device, const WAVEFORMATEX& format, void** stream) = 0;
  // Stops playback and drops what was queued.
  virtual MMRESULT ResetWaveOut(void* stream) = 0;
  virtual MMRESULT CloseWaveOut(void* stream) = 0;
};

// The backend of the machine's sound system (no devices where it has none).
AudioDeviceBackend& SystemAudioDeviceBackend();
// The backend the mixer functions use now: the innermost test override, or
// the system's.
AudioDeviceBackend& CurrentAudioDeviceBackend();

// Makes `backend` the current one for the lifetime of the scope. Handles
// opened on it stop being valid when the scope ends. Overrides nest.
class ScopedAudioDeviceBackendForTesting {
 public:
  explicit ScopedAudioDeviceBackendForTesting(AudioDeviceBackend& backend);
  ~ScopedAudioDeviceBackendForTesting();
  ScopedAudioDeviceBackendForTesting(const ScopedAudioDeviceBackendForTesting&) = delete;
  ScopedAudioDeviceBackendForTesting& operator=(const ScopedAudioDeviceBackendForTesting&) = delete;

 private:
  AudioDeviceBackend* backend_;
  AudioDeviceBackend* previous_;
};

}  // namespace platform
