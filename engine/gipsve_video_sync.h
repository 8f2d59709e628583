// Lip synchronisation with a video engine. Nothing in this system uses it
// beyond taking and giving back the interface.
#pragma once

#include "engine/gipsve_export.h"

class GIPSVoiceEngine;

class GIPSVEVideoSync {
 public:
  static GIPSVE_API GIPSVEVideoSync* GetInterface(GIPSVoiceEngine* engine);

  virtual int Release() = 0;

 protected:
  ~GIPSVEVideoSync() = default;
};
