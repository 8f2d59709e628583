// The functions the engine library exports: creating and deleting engines,
// and handing out their interfaces.
#include <new>

#include "engine/voice_engine.h"
#include "engine/standin/standin_engine.h"

using standin::StandInEngine;

GIPSVoiceEngine* GIPSVoiceEngine::Create() { return new (std::nothrow) StandInEngine(); }

bool GIPSVoiceEngine::Delete(GIPSVoiceEngine*& engine) {
  StandInEngine* standIn = StandInEngine::FromContract(engine);
  if (!standIn || standIn->AnyInterfaceHeld()) return false;
  delete standIn;
  engine = nullptr;
  return true;
}

GIPSVEBase* GIPSVEBase::GIPSVE_GetInterface(GIPSVoiceEngine* engine) {
  StandInEngine* standIn = StandInEngine::FromContract(engine);
  return standIn ? standIn->Base().Acquire() : nullptr;
}

GIPSVECodec* GIPSVECodec::GetInterface(GIPSVoiceEngine* engine) {
  StandInEngine* standIn = StandInEngine::FromContract(engine);
  return standIn ? standIn->Codec().Acquire() : nullptr;
}

GIPSVEVQE* GIPSVEVQE::GetInterface(GIPSVoiceEngine* engine) {
  StandInEngine* standIn = StandInEngine::FromContract(engine);
  return standIn ? standIn->Vqe().Acquire() : nullptr;
}

GIPSVEFile* GIPSVEFile::GetInterface(GIPSVoiceEngine* engine) {
  StandInEngine* standIn = StandInEngine::FromContract(engine);
  return standIn ? standIn->File().Acquire() : nullptr;
}

GIPSVEVolumeControl* GIPSVEVolumeControl::GetInterface(GIPSVoiceEngine* engine) {
  StandInEngine* standIn = StandInEngine::FromContract(engine);
  return standIn ? standIn->Volume().Acquire() : nullptr;
}

GIPSVEHardware* GIPSVEHardware::GetInterface(GIPSVoiceEngine* engine) {
  StandInEngine* standIn = StandInEngine::FromContract(engine);
  return standIn ? standIn->Hardware().Acquire() : nullptr;
}

GIPSVEVideoSync* GIPSVEVideoSync::GetInterface(GIPSVoiceEngine* engine) {
  StandInEngine* standIn = StandInEngine::FromContract(engine);
  return standIn ? standIn->VideoSync().Acquire() : nullptr;
}

GIPSVENetwork* GIPSVENetwork::GetInterface(GIPSVoiceEngine* engine) {
  StandInEngine* standIn = StandInEngine::FromContract(engine);
  return standIn ? standIn->Network().Acquire() : nullptr;
}

GIPSVEDTMF* GIPSVEDTMF::GetInterface(GIPSVoiceEngine* engine) {
  StandInEngine* standIn = StandInEngine::FromContract(engine);
  return standIn ? standIn->Dtmf().Acquire() : nullptr;
}
