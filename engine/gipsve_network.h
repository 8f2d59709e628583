// Network settings of a channel.
#pragma once

#include "engine/gipsve_export.h"

class GIPSVoiceEngine;

class GIPSVENetwork {
 public:
  static GIPSVE_API GIPSVENetwork* GetInterface(GIPSVoiceEngine* engine);

  // The IP type-of-service byte (0 to 255) of the channel's packets; the
  // option belongs to the engine implementation.
  virtual int SetSendTOS(int channel, int tos, int option) = 0;
  virtual int Release() = 0;

 protected:
  ~GIPSVENetwork() = default;
};
