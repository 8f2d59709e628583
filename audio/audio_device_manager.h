// AudioDeviceManager: the speaker volume of the playback device in use,
// through the mixer. The voice engine plays through the device itself; this
// only finds the mixer line that belongs to the device (by opening the
// wave-out device for a moment) and keeps that line's volume control.
//
// Volumes are percent (0..100) on the host side and 0..65535 on the mixer.
// Failures show as false or -1 and leave the volume as it was. Only playback
// devices are handled: with `playback` false every operation fails. Used on
// the handler's thread.
#pragma once

#include "audio/mixer_volume_control.h"
#include "audio/wave_out_device.h"
#include "medley/com_base.h"

class AudioDeviceManager {
 public:
  // Opens the speaker destination of mixer 0 (the master control).
  AudioDeviceManager();
  ~AudioDeviceManager();
  AudioDeviceManager(const AudioDeviceManager&) = delete;
  AudioDeviceManager& operator=(const AudioDeviceManager&) = delete;

  // Makes wave-out device `deviceId` (-1: the preferred device) the one whose
  // volume SetVolume and GetVolume work on. False, with no device selected,
  // when the device does not open; false with the device selected when its
  // mixer has no wave-out volume control.
  bool SelectDevice(LONG deviceId, bool playback = true);
  // Writes percent × 65535 / 100, rounded, cut to 16 bits (so outside 0..100
  // it wraps), when the control is ready.
  void SetVolume(LONG percent, bool playback = true);
  // The volume in percent, rounded; -1 when the control is not ready or the
  // value cannot be read.
  LONG GetVolume(bool playback = true);

  // The device of the last successful selection; -1 for none.
  LONG PlaybackDevice() const { return playbackDevice_; }
  bool IsMasterOpen() const { return masterOpen_; }

  // The conversions between percent and mixer values.
  static WORD PercentToMixerValue(LONG percent);
  static LONG MixerValueToPercent(LONG value);

 private:
  // True when the playback control is valid, or could be reopened through
  // the last device given to the probe (device 0 before any selection).
  bool IsPlaybackControlReady();
  // Opens the playback control on the open probe device's mixer.
  bool OpenPlaybackControlFromProbe();

  LONG playbackDevice_ = -1;
  MixerVolumeControl master_;
  bool masterOpen_;
  MixerVolumeControl playback_;
  WaveOutDevice probe_;
  DWORD_PTR callback_ = 0;  // no line-change notifications
};
