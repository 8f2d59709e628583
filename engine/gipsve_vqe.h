// Voice quality: automatic gain control and echo cancellation.
#pragma once

#include "engine/gipsve_export.h"

class GIPSVoiceEngine;

class GIPSVEVQE {
 public:
  static GIPSVE_API GIPSVEVQE* GetInterface(GIPSVoiceEngine* engine);

  // `enable` is 0 or 1; the mode belongs to the engine implementation.
  virtual int SetAGCStatus(int enable, int mode) = 0;
  // The mode and the two options belong to the engine implementation.
  virtual int SetECStatus(bool enable, int mode, int option1, int option2) = 0;
  virtual int Release() = 0;

 protected:
  ~GIPSVEVQE() = default;
};
