// Sound device choice.
#pragma once

#include "engine/gipsve_export.h"

class GIPSVoiceEngine;

class GIPSVEHardware {
 public:
  static GIPSVE_API GIPSVEHardware* GetInterface(GIPSVoiceEngine* engine);

  // Wave device identifiers (-1: the system's default device); the three
  // options belong to the engine implementation.
  virtual int SetSoundDevices(int recordingDevice, int playbackDevice, int option1, int option2,
                              int option3) = 0;
  virtual int Release() = 0;

 protected:
  ~GIPSVEHardware() = default;
};
