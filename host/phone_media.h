// The media of one SIP call, driven through the plug-in the way a softphone
// host drives it: one channel per call, reserved, offered or answered,
// started (receive parameters, listen, playout, send parameters, send) and
// stopped and released again. SDP crosses this class as text: bodies of SIP
// messages in, bodies out; inside it they are the reference host's
// documents.
//
// Direction attributes are the host's: an offer that puts us on hold
// ("a=sendonly" or "a=inactive") is answered with "a=recvonly" or
// "a=inactive" and our sending stops; an offer in send-receive again starts
// it. Used on the host's apartment thread (the SIP event loop).
#pragma once

#include <string>
#include <string_view>

#include "host/reference_media_state.h"
#include "host/sdp_document.h"
#include "medley/audio_control.h"
#include "medley/host_interfaces.h"
#include "platform/com_ptr.h"

namespace host {

// What to answer to an offer: the SIP status (200, 400 for a body that is
// not SDP or has no audio line, 486 when no channel is free, 488 when no
// codec is common, 500 when the plug-in failed) and, with 200, the SDP.
struct PhoneAnswer {
  int status = 500;
  std::string sdp;
  HRESULT result = S_OK;  // the plug-in's status behind a 486 or 500
};

class PhoneMedia {
 public:
  // `handler` is initialised already and outlives this object; `localIp`
  // goes into the c= and o= lines of the descriptions written here.
  PhoneMedia(IMediaHandler* handler, std::string localIp);
  // Stops the media and releases the channel.
  ~PhoneMedia();
  PhoneMedia(const PhoneMedia&) = delete;
  PhoneMedia& operator=(const PhoneMedia&) = delete;

  // An offer for an outgoing call (a channel is reserved first) or a
  // re-offer on the call's channel, which keeps its port and payload
  // numbers. 0x80040066 when no channel is free.
  HRESULT Offer(std::string* sdp);
  // The peer's answer to our last offer; starts (or restarts) the media.
  // E_INVALIDARG for a body that is not SDP or has no audio line, S_FALSE
  // when the peer turned the audio line down (port 0).
  HRESULT TakeAnswer(std::string_view sdp);
  // Answers an offer: a first offer reserves the channel, a later one
  // (hold, resume, a changed address) reuses it.
  PhoneAnswer Answer(std::string_view offer);
  // Stops sending, playout and listening and releases the channel; again a
  // no-op.
  void Stop();

  LONG Channel() const { return channel_; }
  bool Started() const { return started_; }
  // Whether the peer's last offer put us on hold.
  bool Held() const { return held_; }
  // The codec we send with, as "PCMU/8000": the first format of the
  // answer; empty before one is known.
  const std::string& Codec() const { return codec_; }
  // The call's IAudioControl (the handler's).
  IAudioControl* AudioControl() const { return audio_.Get(); }

 private:
  HRESULT Reserve(bool caller);
  // Receive parameters, listen and playout once, then send parameters from
  // `peer` and sending unless held.
  HRESULT Start(SdpDocument* own, SdpDocument* peer, LONG peerIndex);

  IMediaHandler* handler_;
  platform::ComPtr<IAudioControl> audio_;
  std::string localIp_;
  platform::ComPtr<ReferenceMediaState> state_ = ReferenceMediaState::Create();
  platform::ComPtr<SdpDocument> ownSdp_;  // our last offer or answer
  LONG channel_ = -1;
  bool started_ = false;  // listen and playout run
  bool sending_ = false;
  bool held_ = false;
  std::string codec_;
};

// The index of the first audio line of `document`, or -1.
LONG FirstAudioLine(const SdpDocument& document);
// The first format of the audio line at `index` as "NAME/RATE" (rtpmap, or
// the static table for numbers below 35); empty when unknown.
std::string FirstFormatName(const SdpDocument& document, LONG index);

}  // namespace host
