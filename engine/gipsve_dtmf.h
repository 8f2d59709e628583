// Telephone events (DTMF digits and the like).
#pragma once

#include "engine/gipsve_export.h"

class GIPSVoiceEngine;

class GIPSVEDTMF {
 public:
  static GIPSVE_API GIPSVEDTMF* GetInterface(GIPSVoiceEngine* engine);

  // Sends event `eventCode` (0 to 255; 0-15 are the DTMF keys) lasting
  // `lengthMs` at `attenuationDb` below full level, in the RTP stream as a
  // telephone event when `outOfBand` is true, else as an in-band tone.
  virtual int SendTelephoneEvent(int channel, int eventCode, bool outOfBand, int lengthMs,
                                 int attenuationDb) = 0;
  // The payload type of telephone events on the channel (0 to 127).
  virtual int SetDTMFPayloadType(int channel, int payloadType) = 0;
  virtual int Release() = 0;

 protected:
  ~GIPSVEDTMF() = default;
};
