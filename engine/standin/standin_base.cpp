#include "engine/standin/standin_base.h"

#include <cstring>

#include "engine/standin/port_rules.h"
#include "engine/standin/standin_engine.h"

namespace standin {
namespace {

constexpr char kVersionText[] = "Medley stand-in voice engine 1.0";

}  // namespace

int StandInBase::Init(int, int, int, int, int) {
  engine_.SetInitialised(true);
  return 0;
}

int StandInBase::Terminate() {
  if (!engine_.Initialised()) return engine_.Fail(kNotInitialised);
  engine_.Channels().Clear();
  engine_.Media().Reset();
  engine_.SetInitialised(false);
  return 0;
}

int StandInBase::CreateChannel() {
  if (!engine_.Initialised()) return engine_.Fail(kNotInitialised);
  if (engine_.Channels().Count() >= ChannelTable::kMaxChannels)
    return engine_.Fail(kTooManyChannels);
  int channel = engine_.Channels().Create();
  if (channel < 0) return engine_.Fail(kOutOfMemory);
  if (int error = engine_.Media().AddChannel(channel); error != kNoError) {
    engine_.Channels().Delete(channel);
    return engine_.Fail(error);
  }
  return channel;
}

int StandInBase::DeleteChannel(int channel) {
  if (!engine_.Channels().Delete(channel)) return engine_.Fail(kUnknownChannel);
  engine_.Media().RemoveChannel(channel);
  return 0;
}

int StandInBase::SetLocalReceiver(int channel, int port, int rtcpPort, const char* ip,
                                  const char*) {
  // Multicast groups are not joined: the receiver listens on unicast only.
  StandInChannel* state = engine_.ChannelOrFail(channel);
  if (!state) return -1;
  if (!IsPort(port) || !IsPortOrDefault(rtcpPort)) return engine_.Fail(kInvalidPort);
  int rtcp = rtcpPort == -1 ? port + 1 : rtcpPort;
  if (!IsPort(rtcp) || rtcp == port) return engine_.Fail(kInvalidPort);
  ChannelTable& channels = engine_.Channels();
  if (channels.ReceivePortTaken(port, channel) || channels.ReceivePortTaken(rtcp, channel))
    return engine_.Fail(kReceivePortInUse);
  const int error = engine_.Media().WithChannel(
      channel, [&](MediaChannel& media) { return media.SetLocalReceiver(port, rtcp, ip); });
  if (error != kNoError) {
    state->receivePort = state->receiveRtcpPort = -1;  // the earlier receiver is closed
    return engine_.Fail(error);
  }
  state->receivePort = port;
  state->receiveRtcpPort = rtcp;
  return 0;
}

int StandInBase::SetSendDestination(int channel, int port, const char* ip, int sourcePort,
                                    int rtcpPort) {
  StandInChannel* state = engine_.ChannelOrFail(channel);
  if (!state) return -1;
  if (!ip || !*ip) return engine_.Fail(kInvalidArgument);
  if (!IsPort(port) || !IsPortOrDefault(sourcePort) || !IsPortOrDefault(rtcpPort))
    return engine_.Fail(kInvalidPort);
  const int error = engine_.Media().WithChannel(channel, [&](MediaChannel& media) {
    return media.SetSendDestination(ip, port, sourcePort);
  });
  if (error != kNoError) return engine_.Fail(error);
  state->hasDestination = true;
  return 0;
}

int StandInBase::StartListen(int channel) {
  StandInChannel* state = engine_.ChannelOrFail(channel);
  if (!state) return -1;
  if (state->receivePort < 0) return engine_.Fail(kReceiverNotSet);
  const int error = engine_.Media().WithChannel(channel, [](MediaChannel& media) {
    media.SetListening(true);
    return kNoError;
  });
  if (error != kNoError) return engine_.Fail(error);
  return 0;
}

int StandInBase::StartPlayout(int channel) {
  if (!engine_.ChannelOrFail(channel)) return -1;
  if (int error = engine_.Media().StartPlayout(channel); error != kNoError)
    return engine_.Fail(error);
  return 0;
}

int StandInBase::StartSend(int channel) {
  StandInChannel* state = engine_.ChannelOrFail(channel);
  if (!state) return -1;
  if (!state->hasDestination) return engine_.Fail(kDestinationNotSet);
  const int error = engine_.Media().WithChannel(
      channel, [](MediaChannel& media) { return media.StartSending(); });
  if (error != kNoError) return engine_.Fail(error);
  return 0;
}

int StandInBase::StopListen(int channel) {
  if (!engine_.ChannelOrFail(channel)) return -1;
  const int error = engine_.Media().WithChannel(channel, [](MediaChannel& media) {
    media.SetListening(false);
    return kNoError;
  });
  if (error != kNoError) return engine_.Fail(error);
  return 0;
}

int StandInBase::StopPlayout(int channel) {
  if (!engine_.ChannelOrFail(channel)) return -1;
  if (int error = engine_.Media().StopPlayout(channel); error != kNoError)
    return engine_.Fail(error);
  return 0;
}

int StandInBase::StopSend(int channel) {
  if (!engine_.ChannelOrFail(channel)) return -1;
  const int error = engine_.Media().WithChannel(channel, [](MediaChannel& media) {
    media.StopSending();
    return kNoError;
  });
  if (error != kNoError) return engine_.Fail(error);
  return 0;
}

int StandInBase::GetVersion(char* buffer, int length) {
  if (!buffer || length <= 0) return engine_.Fail(kInvalidArgument);
  if (length < static_cast<int>(sizeof kVersionText)) return engine_.Fail(kBufferTooSmall);
  std::memcpy(buffer, kVersionText, sizeof kVersionText);
  return 0;
}

int StandInBase::LastError() { return engine_.LastError(); }

int StandInBase::Release() { return engine_.ReleaseReference(references_); }

}  // namespace standin
