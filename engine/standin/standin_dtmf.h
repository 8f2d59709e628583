// The stand-in's telephone event interface: events go out of band as RFC
// 4733 packets under the channel's DTMF payload type (101 until one is set),
// or in band as DTMF tones; payload types per channel.
#pragma once

#include "engine/gipsve_dtmf.h"
#include "engine/standin/interface_reference.h"

namespace standin {

class StandInEngine;

class StandInDtmf final : public GIPSVEDTMF {
 public:
  explicit StandInDtmf(StandInEngine& engine) : engine_(engine) {}
  StandInDtmf(const StandInDtmf&) = delete;
  StandInDtmf& operator=(const StandInDtmf&) = delete;

  // Hands out the interface with a new reference.
  GIPSVEDTMF* Acquire() {
    references_.Acquire();
    return this;
  }
  bool Held() const { return references_.Count() > 0; }

  int SendTelephoneEvent(int channel, int eventCode, bool outOfBand, int lengthMs,
                         int attenuationDb) override;
  int SetDTMFPayloadType(int channel, int payloadType) override;
  int Release() override;

 private:
  StandInEngine& engine_;
  InterfaceReference references_;
};

}  // namespace standin
