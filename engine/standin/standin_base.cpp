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
  engine_.File().StopAll();
  engine_.SetInitialised(false);
  return 0;
}

int StandInBase::CreateChannel() {
  if (!engine_.Initialised()) return engine_.Fail(kNotInitialised);
  if (engine_.Channels().Count() >= ChannelTable::kMaxChannels)
    return engine_.Fail(kTooManyChannels);
  int channel = engine_.Channels().Create();
  return channel < 0 ? engine_.Fail(kOutOfMemory) : channel;
}

int StandInBase::DeleteChannel(int channel) {
  return engine_.Channels().Delete(channel) ? 0 : engine_.Fail(kUnknownChannel);
}

int StandInBase::SetLocalReceiver(int channel, int port, int rtcpPort, const char* ip,
                                  const char*) {
  StandInChannel* state = engine_.ChannelOrFail(channel);
  if (!state) return -1;
  if (!IsPort(port) || !IsPortOrDefault(rtcpPort)) return engine_.Fail(kInvalidPort);
  int rtcp = rtcpPort == -1 ? port + 1 : rtcpPort;
  if (!IsPort(rtcp) || rtcp == port) return engine_.Fail(kInvalidPort);
  ChannelTable& channels = engine_.Channels();
  if (channels.ReceivePortTaken(port, channel) || channels.ReceivePortTaken(rtcp, channel))
    return engine_.Fail(kReceivePortInUse);
  state->receivePort = port;
  state->receiveRtcpPort = rtcp;
  state->receiveIp = ip ? ip : "";
  return 0;
}

int StandInBase::SetSendDestination(int channel, int port, const char* ip, int sourcePort,
                                    int rtcpPort) {
  StandInChannel* state = engine_.ChannelOrFail(channel);
  if (!state) return -1;
  if (!ip || !*ip) return engine_.Fail(kInvalidArgument);
  if (!IsPort(port) || !IsPortOrDefault(sourcePort) || !IsPortOrDefault(rtcpPort))
    return engine_.Fail(kInvalidPort);
  state->destinationIp = ip;
  state->destinationPort = port;
  state->sourcePort = sourcePort;
  state->destinationRtcpPort = rtcpPort;
  return 0;
}

int StandInBase::StartListen(int channel) {
  StandInChannel* state = engine_.ChannelOrFail(channel);
  if (!state) return -1;
  if (state->receivePort < 0) return engine_.Fail(kReceiverNotSet);
  state->listening = true;
  return 0;
}

int StandInBase::StartPlayout(int channel) {
  StandInChannel* state = engine_.ChannelOrFail(channel);
  if (!state) return -1;
  state->playing = true;
  return 0;
}

int StandInBase::StartSend(int channel) {
  StandInChannel* state = engine_.ChannelOrFail(channel);
  if (!state) return -1;
  if (state->destinationPort < 0) return engine_.Fail(kDestinationNotSet);
  state->sending = true;
  return 0;
}

int StandInBase::StopListen(int channel) {
  StandInChannel* state = engine_.ChannelOrFail(channel);
  if (!state) return -1;
  state->listening = false;
  return 0;
}

int StandInBase::StopPlayout(int channel) {
  StandInChannel* state = engine_.ChannelOrFail(channel);
  if (!state) return -1;
  state->playing = false;
  return 0;
}

int StandInBase::StopSend(int channel) {
  StandInChannel* state = engine_.ChannelOrFail(channel);
  if (!state) return -1;
  state->sending = false;
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
