// Microphone volume, signal levels and mute.
#pragma once

#include "engine/gipsve_export.h"

class GIPSVoiceEngine;

class GIPSVEVolumeControl {
 public:
  static GIPSVE_API GIPSVEVolumeControl* GetInterface(GIPSVoiceEngine* engine);

  // Level 0 to 255.
  virtual int SetMicVolume(int level) = 0;
  virtual int GetMicVolume(int& level) = 0;
  virtual int SetInputMute(int channel, bool mute) = 0;
  // Current microphone signal level, 0 to 9.
  virtual int GetMicLevel(int& level) = 0;
  // Current speaker signal level of a channel (-1: all channels), 0 to 9.
  virtual int GetSpeakerLevel(int channel, int& level) = 0;
  virtual int Release() = 0;

 protected:
  ~GIPSVEVolumeControl() = default;
};
