// An EngineFactory that makes TestVoiceEngine objects, and a scope that
// installs one for the adapters built inside it:
//
//   ScopedTestEngine testEngine;
//   CKsVoiceEngine adapter;                   // runs on a TestVoiceEngine
//   testEngine.engine().FailNext("StartSend", 8003);
//
// The factory keeps every engine it made until it is destroyed itself, so a
// test can read an engine's log after the adapter that used it is gone.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "audio/engine_factory.h"
#include "tests/support/test_voice_engine.h"

class TestEngineFactory : public EngineFactory {
 public:
  TestEngineFactory();
  ~TestEngineFactory() override;
  TestEngineFactory(const TestEngineFactory&) = delete;
  TestEngineFactory& operator=(const TestEngineFactory&) = delete;

  // Runs on every new engine before Create returns it (to set codecs, or
  // failures of "GetInterface(...)" that happen during construction).
  void PrepareEngines(std::function<void(TestVoiceEngine&)> prepare);
  // The next Create returns null.
  void FailNextCreate() { failNextCreate_ = true; }

  // The most recently made engine; null before the first.
  TestVoiceEngine* LastEngine() const;
  size_t EngineCount() const { return engines_.size(); }
  // Whether Delete accepted the engine (it is kept alive all the same).
  bool WasDeleted(const TestVoiceEngine* engine) const;

  GIPSVoiceEngine* Create() override;
  // Records "Delete()" in the engine's log; refuses (false) while one of
  // its interfaces is still held or for an engine it did not make.
  bool Delete(GIPSVoiceEngine*& engine) override;
  GIPSVEBase* GetBase(GIPSVoiceEngine* engine) override;
  GIPSVECodec* GetCodec(GIPSVoiceEngine* engine) override;
  GIPSVEVQE* GetVqe(GIPSVoiceEngine* engine) override;
  GIPSVEFile* GetFile(GIPSVoiceEngine* engine) override;
  GIPSVEVolumeControl* GetVolumeControl(GIPSVoiceEngine* engine) override;
  GIPSVEHardware* GetHardware(GIPSVoiceEngine* engine) override;
  GIPSVEVideoSync* GetVideoSync(GIPSVoiceEngine* engine) override;
  GIPSVENetwork* GetNetwork(GIPSVoiceEngine* engine) override;
  GIPSVEDTMF* GetDtmf(GIPSVoiceEngine* engine) override;

 private:
  // The engine if this factory made it and has not deleted it, else null.
  TestVoiceEngine* Live(GIPSVoiceEngine* engine) const;
  void* Acquire(GIPSVoiceEngine* engine, TestVoiceEngine::Interface which) const;

  std::vector<std::unique_ptr<TestVoiceEngine>> engines_;
  std::set<const TestVoiceEngine*> deleted_;
  std::function<void(TestVoiceEngine&)> prepare_;
  bool failNextCreate_ = false;
};

// A TestEngineFactory installed for the lifetime of the scope.
class ScopedTestEngine {
 public:
  ScopedTestEngine() : override_(factory_) {}

  TestEngineFactory& factory() { return factory_; }
  // The engine of the adapter built last; the test fails when none exists.
  TestVoiceEngine& engine();

 private:
  TestEngineFactory factory_;
  ScopedEngineFactoryOverride override_;
};
