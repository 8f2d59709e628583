// MixerVolumeControl: an open mixer and the volume control of one of its
// lines: the speaker destination of mixer 0, or the wave-out source line of
// the mixer that serves a wave-out device. Values are the mixer's 0..65535.
// Used on the handler's thread.
#pragma once

#include "platform/mixer.h"

class MixerVolumeControl {
 public:
  MixerVolumeControl() = default;
  // Closes the mixer.
  ~MixerVolumeControl();
  MixerVolumeControl(const MixerVolumeControl&) = delete;
  MixerVolumeControl& operator=(const MixerVolumeControl&) = delete;

  // Opens the mixer that `source` names and finds the volume control:
  // - `source` 0: mixer 0, its speaker destination;
  // - `output`: `source` is a wave-out handle (as a UINT); the wave-out
  //   source line under the first speaker destination of its mixer;
  // - otherwise a wave-in handle; its mixer's recording destination.
  // A non-zero `callback` is a window for line-change messages. Closes
  // first; false (and closed) when the mixer, the line or its volume control
  // is missing.
  bool Open(UINT source, bool output, DWORD_PTR callback);
  void Close();
  // Whether the mixer is still there; closes the control when it is not.
  bool IsValid();

  // Writes `value` to every channel of the control, when valid.
  void SetValue(WORD value);
  // The control's value; -1 when it is not valid or cannot be read.
  LONG GetValue();

  HMIXER Handle() const { return mixer_; }
  DWORD VolumeControlId() const { return volumeControlId_; }
  UINT Source() const { return source_; }

 private:
  // The line that Open looks for, filled in; false when there is none.
  bool FindSpeakerDestination(MIXERLINE* line);
  bool FindWaveOutSource(MIXERLINE* line);
  bool FindRecordingDestination(MIXERLINE* line);
  bool FindVolumeControl(const MIXERLINE& line);

  static constexpr DWORD kNoControl = static_cast<DWORD>(-1);

  HMIXER mixer_ = nullptr;
  DWORD volumeControlId_ = kNoControl;
  UINT source_ = 0;
};
