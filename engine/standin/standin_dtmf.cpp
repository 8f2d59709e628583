#include "engine/standin/standin_dtmf.h"

#include "engine/standin/standin_engine.h"

namespace standin {

int StandInDtmf::SendTelephoneEvent(int channel, int eventCode, bool outOfBand, int lengthMs,
                                    int attenuationDb) {
  if (!engine_.ChannelOrFail(channel)) return -1;
  // RFC 4733 events are one byte; the volume field holds 0 to 63 dB.
  if (eventCode < 0 || eventCode > 255 || lengthMs <= 0 || attenuationDb < 0 || attenuationDb > 63)
    return engine_.Fail(kInvalidArgument);
  // Out of band the event waits its turn behind earlier ones; in band only
  // the DTMF keys (0-15) have tones.
  const int error = engine_.Media().WithChannel(channel, [&](MediaChannel& media) {
    return media.SendTelephoneEvent(eventCode, outOfBand, lengthMs, attenuationDb);
  });
  if (error != kNoError) return engine_.Fail(error);
  return 0;
}

int StandInDtmf::SetDTMFPayloadType(int channel, int payloadType) {
  if (!engine_.ChannelOrFail(channel)) return -1;
  if (payloadType < 0 || payloadType > 127) return engine_.Fail(kInvalidArgument);
  const int error = engine_.Media().WithChannel(channel, [&](MediaChannel& media) {
    media.SetEventPayloadType(payloadType);
    return kNoError;
  });
  if (error != kNoError) return engine_.Fail(error);
  return 0;
}

int StandInDtmf::Release() { return engine_.ReleaseReference(references_); }

}  // namespace standin
