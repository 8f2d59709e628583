// CMediaHandlerImpl: the channel table side of IMediaHandler, and the
// receive and send parameters a negotiated SDP gives a channel.
#include <cstdint>

#include "platform/com_call_guard.h"
#include "media/media_handler_impl.h"
#include "platform/bstr.h"
#include "platform/trace.h"

HRESULT CMediaHandlerImpl::ReserveChannel(LONG* plChannelId, VARIANT_BOOL, BSTR,
                                          VARIANT_BOOL* pbReservationSucceeded) {
  return platform::GuardComCall([&]() -> HRESULT {
    if (!plChannelId || !pbReservationSucceeded) return E_POINTER;
    *pbReservationSucceeded = VARIANT_FALSE;
    HRESULT hr = DoReserveChannel(plChannelId, pbReservationSucceeded);
    if (FAILED(hr)) return kMediaChannelFailure;
    EnterChannel(*plChannelId);
    return S_OK;
  });
}

HRESULT CMediaHandlerImpl::ReleaseChannel(LONG lChannelId) {
  return platform::GuardComCall([&]() -> HRESULT {
    HRESULT hr = DoReleaseChannel(lChannelId);
    RemoveChannel(lChannelId);
    return hr;
  });
}

HRESULT CMediaHandlerImpl::SetReceiveParameters(ISdpContent* pOutgoingSdp, LONG lMediaIndex,
                                                LONG lChannelId) {
  return platform::GuardComCall([&]() -> HRESULT {
    if (!pOutgoingSdp) return E_POINTER;
    ChannelState* channel = nullptr;
    HRESULT hr = GetChannelState(lChannelId, &channel);
    if (FAILED(hr)) return hr;
    // Playout runs on across a re-negotiation: stopped here, restarted below.
    bool wasPlaying = channel->playing;
    if (wasPlaying) hr = StopPlayout(lChannelId);
    if (SUCCEEDED(hr)) hr = ResetReceiveParameters(lChannelId);
    CT_MEDIA_TYPE type = CT_MEDIA_UNKNOWN;
    PayloadTypeList formats;
    // This endpoint's own line: the numbers it receives.
    if (SUCCEEDED(hr)) hr = ReadMediaLine(pOutgoingSdp, lMediaIndex, &type, &formats);
    if (SUCCEEDED(hr))
      hr = SetReceiveParameter(type, pOutgoingSdp, lMediaIndex, lChannelId, formats);
    if (SUCCEEDED(hr) && wasPlaying) hr = StartPlayout(lChannelId);
    if (FAILED(hr)) {
      platform::Trace("CMediaHandlerImpl::SetReceiveParameters failed, hr=0x%X\n",
                      static_cast<unsigned>(hr));
      return hr;
    }
    return S_OK;
  });
}

HRESULT CMediaHandlerImpl::SetSendParameters(ISdpContent* pIncomingSdp, ISdpContent* pOutgoingSdp,
                                             LONG lMediaIndex, LONG lChannelId) {
  return platform::GuardComCall([&]() -> HRESULT {
    if (!pIncomingSdp) return E_POINTER;
    HRESULT hr = ResetSendParameters(lChannelId);
    if (FAILED(hr)) return hr;
    platform::BString address;
    std::uint16_t port = 0;
    hr = SelectSendAddress(pIncomingSdp, pOutgoingSdp, lMediaIndex, address.Receive(), &port);
    if (FAILED(hr)) return hr;
    CT_MEDIA_TYPE type = CT_MEDIA_UNKNOWN;
    PayloadTypeList offered;
    hr = ReadMediaLine(pIncomingSdp, lMediaIndex, &type, &offered);
    if (FAILED(hr)) return hr;
    ChannelState* channel = nullptr;
    hr = GetChannelState(lChannelId, &channel);
    if (FAILED(hr)) return hr;
    channel->sendAddress = std::move(address);
    channel->sendPort = port;
    PayloadTypeList common;
    hr = GetCommonFormats(type, pIncomingSdp, lMediaIndex, offered, &common);
    if (FAILED(hr)) return hr;
    if (common.empty()) {
      platform::Trace("CMediaHandlerImpl::SetSendParameters, No supported payloads found.\n");
      return kMediaChannelFailure;
    }
    hr = SetSendParameter(type, pIncomingSdp, lMediaIndex, lChannelId, common);
    if (FAILED(hr)) {
      platform::Trace("CMediaHandlerImpl::SetSendParameters failed, hr=0x%X\n",
                      static_cast<unsigned>(hr));
      return hr;
    }
    return S_OK;
  });
}
