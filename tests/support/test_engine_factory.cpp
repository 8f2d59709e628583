#include "tests/support/test_engine_factory.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <utility>

using Interface = TestVoiceEngine::Interface;

TestEngineFactory::TestEngineFactory() = default;

TestEngineFactory::~TestEngineFactory() = default;

void TestEngineFactory::PrepareEngines(std::function<void(TestVoiceEngine&)> prepare) {
  prepare_ = std::move(prepare);
}

TestVoiceEngine* TestEngineFactory::LastEngine() const {
  return engines_.empty() ? nullptr : engines_.back().get();
}

bool TestEngineFactory::WasDeleted(const TestVoiceEngine* engine) const {
  return deleted_.count(engine) != 0;
}

GIPSVoiceEngine* TestEngineFactory::Create() {
  if (std::exchange(failNextCreate_, false)) return nullptr;
  engines_.push_back(std::make_unique<TestVoiceEngine>());
  if (prepare_) prepare_(*engines_.back());
  return engines_.back().get();
}

bool TestEngineFactory::Delete(GIPSVoiceEngine*& engine) {
  TestVoiceEngine* live = Live(engine);
  if (!live) return false;
  live->Record("Delete()");
  if (live->AnyInterfaceHeld()) return false;
  deleted_.insert(live);
  engine = nullptr;
  return true;
}

TestVoiceEngine* TestEngineFactory::Live(GIPSVoiceEngine* engine) const {
  auto* test = dynamic_cast<TestVoiceEngine*>(engine);
  bool ours = std::any_of(engines_.begin(), engines_.end(),
                          [test](const auto& made) { return made.get() == test; });
  return test && ours && !WasDeleted(test) ? test : nullptr;
}

void* TestEngineFactory::Acquire(GIPSVoiceEngine* engine, Interface which) const {
  TestVoiceEngine* live = Live(engine);
  return live ? live->Acquire(which) : nullptr;
}

GIPSVEBase* TestEngineFactory::GetBase(GIPSVoiceEngine* engine) {
  return static_cast<GIPSVEBase*>(Acquire(engine, Interface::kBase));
}
GIPSVECodec* TestEngineFactory::GetCodec(GIPSVoiceEngine* engine) {
  return static_cast<GIPSVECodec*>(Acquire(engine, Interface::kCodec));
}
GIPSVEVQE* TestEngineFactory::GetVqe(GIPSVoiceEngine* engine) {
  return static_cast<GIPSVEVQE*>(Acquire(engine, Interface::kVqe));
}
GIPSVEFile* TestEngineFactory::GetFile(GIPSVoiceEngine* engine) {
  return static_cast<GIPSVEFile*>(Acquire(engine, Interface::kFile));
}
GIPSVEVolumeControl* TestEngineFactory::GetVolumeControl(GIPSVoiceEngine* engine) {
  return static_cast<GIPSVEVolumeControl*>(Acquire(engine, Interface::kVolume));
}
GIPSVEHardware* TestEngineFactory::GetHardware(GIPSVoiceEngine* engine) {
  return static_cast<GIPSVEHardware*>(Acquire(engine, Interface::kHardware));
}
GIPSVEVideoSync* TestEngineFactory::GetVideoSync(GIPSVoiceEngine* engine) {
  return static_cast<GIPSVEVideoSync*>(Acquire(engine, Interface::kVideoSync));
}
GIPSVENetwork* TestEngineFactory::GetNetwork(GIPSVoiceEngine* engine) {
  return static_cast<GIPSVENetwork*>(Acquire(engine, Interface::kNetwork));
}
GIPSVEDTMF* TestEngineFactory::GetDtmf(GIPSVoiceEngine* engine) {
  return static_cast<GIPSVEDTMF*>(Acquire(engine, Interface::kDtmf));
}

TestVoiceEngine& ScopedTestEngine::engine() {
  TestVoiceEngine* engine = factory_.LastEngine();
  if (!engine) {
    std::fprintf(stderr, "ScopedTestEngine::engine: no adapter was built in this scope\n");
    std::abort();
  }
  return *engine;
}
