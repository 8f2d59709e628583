// What the stand-in's interfaces check a channel's calls against. The media
// side (media_channel.h) keeps everything the media thread uses; nothing is
// kept in both.
#pragma once

namespace standin {

struct StandInChannel {
  // The RTP and RTCP ports the channel receives on; -1 until a
  // SetLocalReceiver succeeds (StartListen needs one, and no other channel
  // may take these ports).
  int receivePort = -1;
  int receiveRtcpPort = -1;
  // Whether a SetSendDestination succeeded (StartSend needs one).
  bool hasDestination = false;
};

}  // namespace standin
