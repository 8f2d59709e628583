#include "component/media_handler_object.h"

platform::ComPtr<IMediaHandler> CGipsMediaHandlerObject::Create() {
  // The new object's first reference is adopted.
  return platform::ComPtr<IMediaHandler>::Adopt(
      static_cast<IMediaHandler*>(new CGipsMediaHandlerObject()));
}

CGipsMediaHandlerObject::CGipsMediaHandlerObject() = default;

CGipsMediaHandlerObject::~CGipsMediaHandlerObject() = default;

HRESULT CGipsMediaHandlerObject::QueryInterface(REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  void* found = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMediaHandler))
    found = static_cast<IMediaHandler*>(this);
  else if (IsEqualIID(riid, IID_IMediaHandlerEx))
    found = static_cast<IMediaHandlerEx*>(this);
  else if (IsEqualIID(riid, IID_IAudioControl))
    found = static_cast<IAudioControl*>(this);
  *ppvObject = found;
  if (!found) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG CGipsMediaHandlerObject::AddRef() { return CGipsMediaHandler::AddRef(); }

ULONG CGipsMediaHandlerObject::Release() { return CGipsMediaHandler::Release(); }

HRESULT CGipsMediaHandlerObject::get_Version(BSTR* pbstrVersion) {
  return CGipsMediaHandler::get_Version(pbstrVersion);
}

HRESULT CGipsMediaHandlerObject::get_VendorInformation(BSTR* pbstrVendorInformation) {
  return CGipsMediaHandler::get_VendorInformation(pbstrVendorInformation);
}

HRESULT CGipsMediaHandlerObject::Init(INetwork* pNetwork) {
  HRESULT hr = CGipsMediaHandler::Init(pNetwork);
  if (hr == S_OK) initialised_ = true;
  return hr;
}

HRESULT CGipsMediaHandlerObject::AnyCommonFormat(ISdpContent* pIncomingSdp, LONG lMediaIndex,
                                                 VARIANT_BOOL* pbAnyCommonFormat) {
  if (!initialised_) return E_UNEXPECTED;
  return CGipsMediaHandler::AnyCommonFormat(pIncomingSdp, lMediaIndex, pbAnyCommonFormat);
}

HRESULT CGipsMediaHandlerObject::ReserveChannel(LONG* plChannelId, VARIANT_BOOL bCaller,
                                                BSTR bstrFormatList,
                                                VARIANT_BOOL* pbReservationSucceeded) {
  if (!initialised_) return E_UNEXPECTED;
  return CGipsMediaHandler::ReserveChannel(plChannelId, bCaller, bstrFormatList,
                                           pbReservationSucceeded);
}

HRESULT CGipsMediaHandlerObject::ReleaseChannel(LONG lChannelId) {
  if (!initialised_) return E_UNEXPECTED;
  return CGipsMediaHandler::ReleaseChannel(lChannelId);
}

HRESULT CGipsMediaHandlerObject::SetReceiveParameters(ISdpContent* pOutgoingSdp,
                                                      LONG lMediaIndex, LONG lChannelId) {
  if (!initialised_) return E_UNEXPECTED;
  return CGipsMediaHandler::SetReceiveParameters(pOutgoingSdp, lMediaIndex, lChannelId);
}

HRESULT CGipsMediaHandlerObject::StartListen(LONG lChannelId) {
  if (!initialised_) return E_UNEXPECTED;
  return CGipsMediaHandler::StartListen(lChannelId);
}

HRESULT CGipsMediaHandlerObject::StopListen(LONG lChannelId) {
  if (!initialised_) return E_UNEXPECTED;
  return CGipsMediaHandler::StopListen(lChannelId);
}

HRESULT CGipsMediaHandlerObject::StartPlayout(LONG lChannelId) {
  if (!initialised_) return E_UNEXPECTED;
  return CGipsMediaHandler::StartPlayout(lChannelId);
}

HRESULT CGipsMediaHandlerObject::StopPlayout(LONG lChannelId) {
  if (!initialised_) return E_UNEXPECTED;
  return CGipsMediaHandler::StopPlayout(lChannelId);
}

HRESULT CGipsMediaHandlerObject::SetSendParameters(ISdpContent* pIncomingSdp,
                                                   ISdpContent* pOutgoingSdp, LONG lMediaIndex,
                                                   LONG lChannelId) {
  if (!initialised_) return E_UNEXPECTED;
  return CGipsMediaHandler::SetSendParameters(pIncomingSdp, pOutgoingSdp, lMediaIndex,
                                              lChannelId);
}

HRESULT CGipsMediaHandlerObject::StartSending(LONG lChannelId) {
  if (!initialised_) return E_UNEXPECTED;
  return CGipsMediaHandler::StartSending(lChannelId);
}

HRESULT CGipsMediaHandlerObject::StopSending(LONG lChannelId) {
  if (!initialised_) return E_UNEXPECTED;
  return CGipsMediaHandler::StopSending(lChannelId);
}

HRESULT CGipsMediaHandlerObject::AddAnswerMediaDescription(ISdpContent* pIncomingSdp,
                                                           LONG lMediaIndex,
                                                           IMediaState* pMediaState,
                                                           ISdpContent* pOutgoingSdp) {
  if (!initialised_) return E_UNEXPECTED;
  return CGipsMediaHandler::AddAnswerMediaDescription(pIncomingSdp, lMediaIndex, pMediaState,
                                                      pOutgoingSdp);
}

HRESULT CGipsMediaHandlerObject::AddOfferMediaDescription(CT_MEDIA_TYPE mediaType,
                                                          IMediaState* pMediaState,
                                                          ISdpContent* pOutgoingSdp) {
  if (!initialised_) return E_UNEXPECTED;
  return CGipsMediaHandler::AddOfferMediaDescription(mediaType, pMediaState, pOutgoingSdp);
}

HRESULT CGipsMediaHandlerObject::ClearPreferredAudioFormats() {
  return CGipsMediaHandler::ClearPreferredAudioFormats();
}

HRESULT CGipsMediaHandlerObject::SetReserved(LONG) { return S_OK; }
