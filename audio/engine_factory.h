// Where CKsVoiceEngine gets its engine: normally the engine library's
// exported functions; tests put their own engine in place with
// ScopedEngineFactoryOverride.
#pragma once

#include "engine/voice_engine.h"

class EngineFactory {
 public:
  virtual ~EngineFactory() = default;

  virtual GIPSVoiceEngine* Create() = 0;
  virtual bool Delete(GIPSVoiceEngine*& engine) = 0;
  // Each getter hands out one interface of `engine` with a new reference,
  // or null.
  virtual GIPSVEBase* GetBase(GIPSVoiceEngine* engine) = 0;
  virtual GIPSVECodec* GetCodec(GIPSVoiceEngine* engine) = 0;
  virtual GIPSVEVQE* GetVqe(GIPSVoiceEngine* engine) = 0;
  virtual GIPSVEFile* GetFile(GIPSVoiceEngine* engine) = 0;
  virtual GIPSVEVolumeControl* GetVolumeControl(GIPSVoiceEngine* engine) = 0;
  virtual GIPSVEHardware* GetHardware(GIPSVoiceEngine* engine) = 0;
  virtual GIPSVEVideoSync* GetVideoSync(GIPSVoiceEngine* engine) = 0;
  virtual GIPSVENetwork* GetNetwork(GIPSVoiceEngine* engine) = 0;
  virtual GIPSVEDTMF* GetDtmf(GIPSVoiceEngine* engine) = 0;
};

// The factory over the engine library's exported functions.
EngineFactory& LibraryEngineFactory();

// The factory new adapters use: the library's, or the innermost override.
EngineFactory& CurrentEngineFactory();

// Makes `factory` the current one for the lifetime of the scope, then
// restores the one before. Overrides nest. An adapter keeps the factory it
// was built with, so `factory` must outlive the adapters built in the scope.
class ScopedEngineFactoryOverride {
 public:
  explicit ScopedEngineFactoryOverride(EngineFactory& factory);
  ~ScopedEngineFactoryOverride();
  ScopedEngineFactoryOverride(const ScopedEngineFactoryOverride&) = delete;
  ScopedEngineFactoryOverride& operator=(const ScopedEngineFactoryOverride&) = delete;

 private:
  EngineFactory* previous_;
};
