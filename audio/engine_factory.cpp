#include "audio/engine_factory.h"

#include <atomic>

namespace {

class LibraryFactory final : public EngineFactory {
 public:
  GIPSVoiceEngine* Create() override { return GIPSVoiceEngine::Create(); }
  bool Delete(GIPSVoiceEngine*& engine) override { return GIPSVoiceEngine::Delete(engine); }
  GIPSVEBase* GetBase(GIPSVoiceEngine* engine) override {
    return GIPSVEBase::GIPSVE_GetInterface(engine);
  }
  GIPSVECodec* GetCodec(GIPSVoiceEngine* engine) override {
    return GIPSVECodec::GetInterface(engine);
  }
  GIPSVEVQE* GetVqe(GIPSVoiceEngine* engine) override { return GIPSVEVQE::GetInterface(engine); }
  GIPSVEFile* GetFile(GIPSVoiceEngine* engine) override { return GIPSVEFile::GetInterface(engine); }
  GIPSVEVolumeControl* GetVolumeControl(GIPSVoiceEngine* engine) override {
    return GIPSVEVolumeControl::GetInterface(engine);
  }
  GIPSVEHardware* GetHardware(GIPSVoiceEngine* engine) override {
    return GIPSVEHardware::GetInterface(engine);
  }
  GIPSVEVideoSync* GetVideoSync(GIPSVoiceEngine* engine) override {
    return GIPSVEVideoSync::GetInterface(engine);
  }
  GIPSVENetwork* GetNetwork(GIPSVoiceEngine* engine) override {
    return GIPSVENetwork::GetInterface(engine);
  }
  GIPSVEDTMF* GetDtmf(GIPSVoiceEngine* engine) override { return GIPSVEDTMF::GetInterface(engine); }
};

// Null means the library's factory.
std::atomic<EngineFactory*> currentFactory{nullptr};

}  // namespace

EngineFactory& LibraryEngineFactory() {
  static LibraryFactory factory;
  return factory;
}

EngineFactory& CurrentEngineFactory() {
  EngineFactory* factory = currentFactory.load();
  return factory ? *factory : LibraryEngineFactory();
}

ScopedEngineFactoryOverride::ScopedEngineFactoryOverride(EngineFactory& factory)
    : previous_(currentFactory.exchange(&factory)) {}

ScopedEngineFactoryOverride::~ScopedEngineFactoryOverride() { currentFactory.store(previous_); }
