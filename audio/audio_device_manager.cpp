#include "audio/audio_device_manager.h"

#include <cmath>
#include <cstdint>

AudioDeviceManager::AudioDeviceManager() : masterOpen_(master_.Open(0, false, 0)) {}

AudioDeviceManager::~AudioDeviceManager() {
  probe_.Close();
  playback_.Close();
  master_.Close();
}

WORD AudioDeviceManager::PercentToMixerValue(LONG percent) {
  double value = std::floor(static_cast<double>(percent) * 65535.0 / 100.0 + 0.5);
  return static_cast<WORD>(static_cast<std::int64_t>(value));
}

LONG AudioDeviceManager::MixerValueToPercent(LONG value) {
  return static_cast<LONG>(std::floor(static_cast<double>(value) * 100.0 / 65535.0 + 0.5));
}

bool AudioDeviceManager::OpenPlaybackControlFromProbe() {
  // The mixer functions take a wave-out handle in place of a mixer id.
  UINT source = static_cast<UINT>(reinterpret_cast<UINT_PTR>(probe_.Handle()));
  return playback_.Open(source, true, callback_);
}

bool AudioDeviceManager::SelectDevice(LONG deviceId, bool playback) {
  if (!playback) return false;
  probe_.Close();
  probe_.SetDeviceId(static_cast<UINT>(deviceId));
  if (!probe_.Open()) {
    playbackDevice_ = -1;
    playback_.Close();
    return false;
  }
  playbackDevice_ = deviceId;
  bool opened = OpenPlaybackControlFromProbe();
  probe_.Close();
  return opened;
}

bool AudioDeviceManager::IsPlaybackControlReady() {
  if (playback_.IsValid()) return true;
  if (!probe_.Open()) return false;
  // Ready even when the control did not open: reading or writing it then
  // does nothing.
  OpenPlaybackControlFromProbe();
  probe_.Close();
  return true;
}

void AudioDeviceManager::SetVolume(LONG percent, bool playback) {
  if (!playback || !IsPlaybackControlReady()) return;
  playback_.SetValue(PercentToMixerValue(percent));
}

LONG AudioDeviceManager::GetVolume(bool playback) {
  if (!playback || !IsPlaybackControlReady()) return -1;
  LONG value = playback_.GetValue();
  return value == -1 ? -1 : MixerValueToPercent(value);
}
