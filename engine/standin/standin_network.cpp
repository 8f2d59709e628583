#include "engine/standin/standin_network.h"

#include "engine/standin/standin_engine.h"

namespace standin {

int StandInNetwork::SetSendTOS(int channel, int tos, int) {
  if (!engine_.ChannelOrFail(channel)) return -1;
  if (tos < 0 || tos > 255) return engine_.Fail(kInvalidArgument);
  const int error = engine_.Media().WithChannel(channel, [&](MediaChannel& media) {
    media.SetTos(tos);
    return kNoError;
  });
  if (error != kNoError) return engine_.Fail(error);
  return 0;
}

int StandInNetwork::Release() { return engine_.ReleaseReference(references_); }

}  // namespace standin
