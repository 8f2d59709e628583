// CMediaHandlerImpl: the channel table side of IMediaHandler.
#include "media/com_call_guard.h"
#include "media/media_handler_impl.h"

HRESULT CMediaHandlerImpl::ReserveChannel(LONG* plChannelId, VARIANT_BOOL, BSTR,
                                          VARIANT_BOOL* pbReservationSucceeded) {
  return GuardComCall([&]() -> HRESULT {
    if (!plChannelId || !pbReservationSucceeded) return E_POINTER;
    *pbReservationSucceeded = VARIANT_FALSE;
    HRESULT hr = DoReserveChannel(plChannelId, pbReservationSucceeded);
    if (FAILED(hr)) return kMediaChannelFailure;
    channels_.try_emplace(*plChannelId);
    return S_OK;
  });
}

HRESULT CMediaHandlerImpl::ReleaseChannel(LONG lChannelId) {
  return GuardComCall([&]() -> HRESULT {
    HRESULT hr = DoReleaseChannel(lChannelId);
    channels_.erase(lChannelId);
    return hr;
  });
}

// Receive and send parameters come with the channel lifecycle work; until
// then a host that asks for them learns that they are not there.
HRESULT CMediaHandlerImpl::SetReceiveParameters(ISdpContent*, LONG, LONG) { return E_NOTIMPL; }

HRESULT CMediaHandlerImpl::SetSendParameters(ISdpContent*, ISdpContent*, LONG, LONG) {
  return E_NOTIMPL;
}
