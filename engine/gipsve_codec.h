// The engine's codec list, send codec, receive payload types and voice
// activity detection.
#pragma once

#include "engine/engine_codec_record.h"
#include "engine/gipsve_export.h"

class GIPSVoiceEngine;

class GIPSVECodec {
 public:
  static GIPSVE_API GIPSVECodec* GetInterface(GIPSVoiceEngine* engine);

  // The number of codecs in the engine's list.
  virtual int NumOfCodecs() = 0;
  // Fills `codec` with entry `index` (0-based) of the list.
  virtual int GetCodec(int index, EngineCodecRecord& codec) = 0;
  // The codec the channel sends with; the payload type may differ from the
  // list's (negotiated dynamic numbers).
  virtual int SetSendCodec(int channel, const EngineCodecRecord& codec) = 0;
  // The payload type under which the channel receives the named codec.
  virtual int SetRecPayloadType(int channel, const EngineCodecRecord& codec) = 0;
  virtual int SetVADStatus(int channel, int enable, int mode, int disableDtx) = 0;
  virtual int Release() = 0;

 protected:
  ~GIPSVECodec() = default;
};
