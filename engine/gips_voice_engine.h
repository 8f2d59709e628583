// The voice engine object. Create makes one; its nine interfaces are taken
// with the GetInterface functions of the interface classes, each of which
// adds a reference that the interface's Release gives back.
//
// Every engine operation returns an int; -1 means failure, and the base
// interface's LastError then gives the engine's error code.
#pragma once

#include "engine/gipsve_export.h"

class GIPSVoiceEngine {
 public:
  // A new engine, or null when none could be made.
  static GIPSVE_API GIPSVoiceEngine* Create();
  // Destroys `engine` and sets it to null. Refuses (false, engine kept) while
  // any interface of it is still held, or for an engine it did not create.
  static GIPSVE_API bool Delete(GIPSVoiceEngine*& engine);

  GIPSVoiceEngine(const GIPSVoiceEngine&) = delete;
  GIPSVoiceEngine& operator=(const GIPSVoiceEngine&) = delete;

 protected:
  GIPSVoiceEngine() = default;
  virtual ~GIPSVoiceEngine() = default;
};
