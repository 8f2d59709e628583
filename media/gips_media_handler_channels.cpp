// CGipsMediaHandler: channel reservation over the voice engine, and the
// receive, send and streaming operations of a channel.
#include "media/gips_media_handler.h"

HRESULT CGipsMediaHandler::DoReserveChannel(LONG* plChannelId,
                                            VARIANT_BOOL* pbReservationSucceeded) {
  if (!plChannelId || !pbReservationSucceeded) return E_POINTER;
  INetwork* network = Network();
  if (!network) return E_UNEXPECTED;
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
  Channels().try_emplace(channelId);
  *pbReservationSucceeded = VARIANT_TRUE;
  return S_OK;
}

HRESULT CGipsMediaHandler::DoReleaseChannel(LONG channelId) {
  auto found = Channels().find(channelId);
  if (found == Channels().end()) return S_FALSE;
  Channels().erase(found);
  HRESULT hr = voiceEngine_.DeleteChannel(channelId);
  if (FAILED(hr)) return hr;
  --reservedChannelCount_;
  return S_OK;
}

// The receive and send parameters and the streaming operations come with
// the channel lifecycle work; until then they report E_NOTIMPL.
HRESULT CGipsMediaHandler::SetReceiveParameter(CT_MEDIA_TYPE, ISdpContent*, LONG, LONG,
                                               const PayloadTypeList&) {
  return E_NOTIMPL;
}

HRESULT CGipsMediaHandler::ResetReceiveParameters(LONG) { return S_OK; }

HRESULT CGipsMediaHandler::SetSendParameter(CT_MEDIA_TYPE, ISdpContent*, LONG, LONG,
                                            const PayloadTypeList&) {
  return E_NOTIMPL;
}

HRESULT CGipsMediaHandler::ResetSendParameters(LONG) { return S_OK; }

HRESULT CGipsMediaHandler::StartListen(LONG) { return E_NOTIMPL; }
HRESULT CGipsMediaHandler::StopListen(LONG) { return E_NOTIMPL; }
HRESULT CGipsMediaHandler::StartPlayout(LONG) { return E_NOTIMPL; }
HRESULT CGipsMediaHandler::StopPlayout(LONG) { return E_NOTIMPL; }
HRESULT CGipsMediaHandler::StartSending(LONG) { return E_NOTIMPL; }
HRESULT CGipsMediaHandler::StopSending(LONG) { return E_NOTIMPL; }
