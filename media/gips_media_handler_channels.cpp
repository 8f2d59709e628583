// CGipsMediaHandler: channel reservation over the voice engine, and the
// receive, send and streaming operations of a channel.
#include <cstdint>
#include <memory>

#include "media/gips_media_handler.h"
#include "platform/trace.h"

namespace {

// StartListen tries the local receiver this often, this far apart, while
// the engine finds the port still taken.
constexpr int kListenAttempts = 5;
constexpr DWORD kListenRetryMilliseconds = 100;

const OLECHAR* TraceText(BSTR text) { return text ? text : MEDLEY_OLESTR(""); }

}  // namespace

HRESULT CGipsMediaHandler::DoReserveChannel(LONG* plChannelId,
                                            VARIANT_BOOL* pbReservationSucceeded) {
  if (!plChannelId || !pbReservationSucceeded) return E_POINTER;
  INetwork* network = Network();
  if (!network) return E_UNEXPECTED;
  // Made before the engine channel, so that running out of memory leaves
  // no engine channel behind.
  auto streams = std::make_unique<ChannelStreamState>();
  HRESULT hr = S_OK;
  // The engine opens its sound devices with the first channel.
  if (reservedChannelCount_ == 0) {
    hr = voiceEngine_.SetSoundDevices(recordingDevice_, playbackDevice_);
    if (FAILED(hr)) return hr;
  }
  LONG channelId = -1;
  VARIANT_BOOL created = VARIANT_FALSE;
  hr = voiceEngine_.CreateChannel(&channelId, &created);
  if (FAILED(hr)) return hr;
  if (created != VARIANT_TRUE) return S_FALSE;
  hr = network->put_LastAudioChannel(channelId);
  if (FAILED(hr)) return hr;
  *plChannelId = channelId;
  ++reservedChannelCount_;
  EnterChannel(channelId);
  // A number the engine hands out again starts with fresh streams.
  DropStreams(channelId);
  streamStates_[channelId] = std::move(streams);
  *pbReservationSucceeded = VARIANT_TRUE;
  return S_OK;
}

HRESULT CGipsMediaHandler::DoReleaseChannel(LONG channelId) {
  if (!RemoveChannel(channelId)) return S_FALSE;
  // A channel the engine could not delete stays counted and keeps its
  // streams; only its table entry goes.
  HRESULT hr = voiceEngine_.DeleteChannel(channelId);
  if (FAILED(hr)) return hr;
  --reservedChannelCount_;
  ChannelStreamState* streams = nullptr;
  hr = FindStreams(channelId, &streams);
  if (FAILED(hr)) return hr;
  DropStreams(channelId);
  return S_OK;
}

HRESULT CGipsMediaHandler::SetReceiveParameter(CT_MEDIA_TYPE mediaType, ISdpContent* sdp,
                                               LONG mediaIndex, LONG channelId,
                                               const PayloadTypeList& formats) {
  platform::Trace("CGipsMediaHandler::SetReceiveParameter\n");
  ChannelState* channel = nullptr;
  HRESULT hr = GetChannelState(channelId, &channel);
  if (FAILED(hr)) return hr;
  for (const PayloadType& format : formats) {
    // Only dynamic numbers are remembered, and only they need announcing.
    auto remembered = channel->payloadNumbers.find(format.encodingName);
    if (remembered == channel->payloadNumbers.end()) continue;
    LONG packetTime = 0;
    hr = GetPacketTime(mediaType, format.encodingName, sdp, mediaIndex, &packetTime);
    if (FAILED(hr)) return hr;
    auto packetSize = static_cast<std::uint32_t>(packetTime) *
                      static_cast<std::uint32_t>(format.clockRate) / 1000u;
    CodecDescriptor codec(remembered->second, format.encodingName, format.clockRate,
                          static_cast<LONG>(packetSize), format.channels, format.rate);
    platform::Trace(
        "CGipsMediaHandler::SetReceiveParameter: payload:%d, name:%S, frequency:%d, channels:%d "
        "rate:%d packetsize:%d",
        codec.payloadType, TraceText(codec.name), codec.frequency, codec.channels, codec.rate,
        codec.packetSize);
    if (platform::WideEqualsNoCase(format.encodingName, kCodecNameComfortNoise)) continue;
    codec.UseEngineName();
    platform::Trace(
        "CGipsMediaHandler::SetReceiveParameter, Channel = %d, Codec = %S PayloadType = %d\n",
        channelId, TraceText(codec.name), codec.payloadType);
    hr = voiceEngine_.put_RecPayloadType(static_cast<SHORT>(channelId), codec);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT CGipsMediaHandler::ResetReceiveParameters(LONG) { return S_OK; }

HRESULT CGipsMediaHandler::SetSendParameter(CT_MEDIA_TYPE mediaType, ISdpContent* sdp,
                                            LONG mediaIndex, LONG channelId,
                                            const PayloadTypeList& formats) {
  if (formats.empty()) return kMediaChannelFailure;
  const PayloadType& send = formats.front();
  LONG packetTime = 0;
  HRESULT hr = GetPacketTime(mediaType, send.encodingName, sdp, mediaIndex, &packetTime);
  if (FAILED(hr)) return hr;
  // The peer's number, the engine's packet size and rate.
  sendCodec_ = CodecDescriptor(send.payloadNumber, send.encodingName, send.clockRate,
                               send.packetSize, send.channels, send.rate);

  PayloadTypeList offered;
  hr = GetRemoteFormats(sdp, mediaIndex, &offered);
  if (FAILED(hr)) return hr;
  telephoneEventNegotiated_ = false;
  for (const PayloadType& format : offered) {
    if (!platform::WideEqualsNoCase(format.encodingName, kCodecNameTelephoneEvent)) continue;
    telephoneEventNegotiated_ = true;
    telephoneEventPayload_ = format.payloadNumber;
    break;
  }

  INetwork* network = Network();
  if (!network) return E_UNEXPECTED;
  hr = network->get_AudioTosValue(&tosValue_);
  if (FAILED(hr)) return hr;
  ChannelState* channel = nullptr;
  return GetChannelState(channelId, &channel);
}

HRESULT CGipsMediaHandler::ResetSendParameters(LONG) { return S_OK; }

HRESULT CGipsMediaHandler::StartListen(LONG lChannelId) {
  ChannelState* channel = nullptr;
  HRESULT hr = GetChannelState(lChannelId, &channel);
  if (FAILED(hr)) return hr;
  platform::Trace("CGipsMediaHandler::StartListen, Channel = %d, Port = %d\n", lChannelId,
                  static_cast<int>(channel->receivePort));
  if (channel->listening) return S_OK;
  sleep_(0);
  // The port of a call that just ended may not be free yet.
  for (int attempt = 1;; ++attempt) {
    hr = voiceEngine_.SetLocalReceiver(lChannelId, channel->receivePort);
    if (SUCCEEDED(hr)) break;
    if (hr != kEnginePortBusy || attempt == kListenAttempts) {
      platform::Trace("CGipsMediaHandler::StartListen, GIPS error, hr=0x%08X\n",
                      static_cast<unsigned>(hr));
      return kMediaChannelFailure;
    }
    sleep_(kListenRetryMilliseconds);
  }
  hr = voiceEngine_.StartListen(lChannelId);
  if (FAILED(hr)) return hr;
  channel->listening = true;
  return S_OK;
}

HRESULT CGipsMediaHandler::StopListen(LONG lChannelId) {
  ChannelState* channel = nullptr;
  if (FAILED(GetChannelState(lChannelId, &channel))) return S_FALSE;
  if (!channel->listening) return S_OK;
  HRESULT hr = voiceEngine_.StopListen(lChannelId);
  if (FAILED(hr)) return hr;
  channel->listening = false;
  return S_OK;
}

HRESULT CGipsMediaHandler::StartPlayout(LONG lChannelId) {
  ChannelState* channel = nullptr;
  HRESULT hr = GetChannelState(lChannelId, &channel);
  if (FAILED(hr)) return hr;
  if (channel->playing) return S_OK;
  // The speaker volume follows the device in use; the engine plays without.
  if (!audioDevices_.SelectDevice(playbackDevice_))
    platform::Trace("CGipsMediaHandler::StartPlayout, Problems with speakers\n");
  hr = voiceEngine_.StartPlayout(lChannelId);
  if (hr == kEngineSpeakerError) return kMediaSpeakerFailure;
  if (FAILED(hr))
    platform::Trace("CGipsMediaHandler::StartPlayout, StartPlayout failed, hr=0x%X\n",
                    static_cast<unsigned>(hr));
  channel->playing = true;
  return S_OK;
}

HRESULT CGipsMediaHandler::StopPlayout(LONG lChannelId) {
  // A stream the engine will not stop does not keep the playout running.
  StopPlayAudioStream(lChannelId);
  ChannelState* channel = nullptr;
  if (FAILED(GetChannelState(lChannelId, &channel))) return S_FALSE;
  if (!channel->playing) return S_OK;
  HRESULT hr = voiceEngine_.StopPlayout(lChannelId);
  if (FAILED(hr)) return hr;
  channel->playing = false;
  return S_OK;
}

HRESULT CGipsMediaHandler::StartSending(LONG lChannelId) {
  ChannelState* channel = nullptr;
  HRESULT hr = GetChannelState(lChannelId, &channel);
  if (FAILED(hr)) return hr;
  platform::Trace("CGipsMediaHandler::StartSending, Channel = %d, IP = %S, Port = %d, TOS = %d\n",
                  lChannelId, TraceText(channel->sendAddress.Get()),
                  static_cast<int>(channel->sendPort), tosValue_);
  if (channel->sending) return S_OK;
  CodecDescriptor codec = sendCodec_;
  codec.UseEngineName();
  hr = voiceEngine_.SetSendCodec(lChannelId, codec);
  if (SUCCEEDED(hr))
    hr = voiceEngine_.SetSendDestination(lChannelId, channel->sendPort, channel->sendAddress.Get(),
                                         -1, -1);
  if (SUCCEEDED(hr) && telephoneEventNegotiated_)
    hr = voiceEngine_.SetDtmfPayloadType(lChannelId, telephoneEventPayload_);
  // The host gives the DSCP value; the engine takes the whole TOS byte.
  if (SUCCEEDED(hr))
    hr = voiceEngine_.SetSendTOS(lChannelId,
                                 static_cast<LONG>(static_cast<std::uint32_t>(tosValue_) << 2));
  // Any non-zero setting turns voice activity detection on.
  if (SUCCEEDED(hr)) hr = voiceEngine_.SetVAD(lChannelId, silenceSuppression_);
  if (FAILED(hr)) return hr;
  hr = voiceEngine_.StartSend(lChannelId);
  if (FAILED(hr))
    platform::Trace("CGipsMediaHandler::StartSending, StartSend failed, hr=0x%X\n",
                    static_cast<unsigned>(hr));
  channel->sending = true;
  return S_OK;
}

HRESULT CGipsMediaHandler::StopSending(LONG lChannelId) {
  StopSendAudioStream(lChannelId);
  ChannelState* channel = nullptr;
  if (FAILED(GetChannelState(lChannelId, &channel))) return S_FALSE;
  if (!channel->sending) return S_OK;
  HRESULT hr = voiceEngine_.StopSend(lChannelId);
  if (FAILED(hr))
    platform::Trace("CGipsMediaHandler::StopSending, StopSend failed, hr=0x%X\n",
                    static_cast<unsigned>(hr));
  channel->sending = false;
  return S_OK;
}
