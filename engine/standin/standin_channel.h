// What the stand-in engine knows about one channel.
#pragma once

#include <string>
#include <vector>

#include "engine/engine_codec_record.h"
#include "engine/engine_streams.h"

namespace standin {

struct StandInChannel {
  // Receiving: RTP and RTCP port (-1 until SetLocalReceiver), local address
  // (empty: every address).
  int receivePort = -1;
  int receiveRtcpPort = -1;
  std::string receiveIp;

  // Sending: destination (port -1 until SetSendDestination), source port
  // and the destination's RTCP port.
  std::string destinationIp;
  int destinationPort = -1;
  int sourcePort = -1;
  int destinationRtcpPort = -1;

  bool listening = false;
  bool playing = false;
  bool sending = false;

  // The catalogue codec sent, under the payload type the caller chose.
  EngineCodecRecord sendCodec{};
  bool hasSendCodec = false;
  // Payload types announced for receiving (catalogue names and frequencies).
  std::vector<EngineCodecRecord> receiveCodecs;

  bool vad = false;
  int tos = 0;
  int dtmfPayloadType = -1;
  bool inputMute = false;

  // Streams played into the channel; owned by the caller.
  GIPSVEInStream* localFile = nullptr;
  GIPSVEInStream* microphoneFile = nullptr;
};

}  // namespace standin
