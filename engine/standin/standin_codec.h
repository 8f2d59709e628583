// The stand-in's codec interface over the catalogue of engine/standin/codec_catalogue.h.
#pragma once

#include "engine/gipsve_codec.h"
#include "engine/standin/interface_reference.h"

namespace standin {

class StandInEngine;

class StandInCodec final : public GIPSVECodec {
 public:
  explicit StandInCodec(StandInEngine& engine) : engine_(engine) {}
  StandInCodec(const StandInCodec&) = delete;
  StandInCodec& operator=(const StandInCodec&) = delete;

  // Hands out the interface with a new reference.
  GIPSVECodec* Acquire() {
    references_.Acquire();
    return this;
  }
  bool Held() const { return references_.Count() > 0; }

  int NumOfCodecs() override;
  int GetCodec(int index, EngineCodecRecord& codec) override;
  // The name must be a catalogue codec that carries voice (not CN or
  // telephone-event); the payload type 0 to 127 is the caller's.
  int SetSendCodec(int channel, const EngineCodecRecord& codec) override;
  // The name must be a catalogue codec; a later call for the same name and
  // frequency replaces the payload type. For telephone-event the frequency
  // (1000 to 192000 Hz, else kInvalidArgument) becomes the channel's event
  // clock, used for the events it sends and receives; 8000 until then. A
  // refused call changes nothing, save a media thread that could not be
  // started, which is reported after the change (MediaEngine::WithChannel).
  int SetRecPayloadType(int channel, const EngineCodecRecord& codec) override;
  int SetVADStatus(int channel, int enable, int mode, int disableDtx) override;
  int Release() override;

 private:
  StandInEngine& engine_;
  InterfaceReference references_;
};

}  // namespace standin
