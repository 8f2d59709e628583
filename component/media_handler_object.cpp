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
  return CGipsMediaHandler::Init(pNetwork);
}

HRESULT CGipsMediaHandlerObject::AnyCommonFormat(ISdpContent* pIncomingSdp, LONG lMediaIndex,
                                                 VARIANT_BOOL* pbAnyCommonFormat) {
  return WhenInitialised([&] {
    return CGipsMediaHandler::AnyCommonFormat(pIncomingSdp, lMediaIndex, pbAnyCommonFormat);
  });
}

HRESULT CGipsMediaHandlerObject::ReserveChannel(LONG* plChannelId, VARIANT_BOOL bCaller,
                                                BSTR bstrFormatList,
                                                VARIANT_BOOL* pbReservationSucceeded) {
  return WhenInitialised([&] {
    return CGipsMediaHandler::ReserveChannel(plChannelId, bCaller, bstrFormatList,
                                             pbReservationSucceeded);
  });
}

HRESULT CGipsMediaHandlerObject::ReleaseChannel(LONG lChannelId) {
  return WhenInitialised([&] { return CGipsMediaHandler::ReleaseChannel(lChannelId); });
}

HRESULT CGipsMediaHandlerObject::SetReceiveParameters(ISdpContent* pOutgoingSdp, LONG lMediaIndex,
                                                      LONG lChannelId) {
  return WhenInitialised([&] {
    return CGipsMediaHandler::SetReceiveParameters(pOutgoingSdp, lMediaIndex, lChannelId);
  });
}

HRESULT CGipsMediaHandlerObject::StartListen(LONG lChannelId) {
  return WhenInitialised([&] { return CGipsMediaHandler::StartListen(lChannelId); });
}

HRESULT CGipsMediaHandlerObject::StopListen(LONG lChannelId) {
  return WhenInitialised([&] { return CGipsMediaHandler::StopListen(lChannelId); });
}

HRESULT CGipsMediaHandlerObject::StartPlayout(LONG lChannelId) {
  return WhenInitialised([&] { return CGipsMediaHandler::StartPlayout(lChannelId); });
}

HRESULT CGipsMediaHandlerObject::StopPlayout(LONG lChannelId) {
  return WhenInitialised([&] { return CGipsMediaHandler::StopPlayout(lChannelId); });
}

HRESULT CGipsMediaHandlerObject::SetSendParameters(ISdpContent* pIncomingSdp,
                                                   ISdpContent* pOutgoingSdp, LONG lMediaIndex,
                                                   LONG lChannelId) {
  return WhenInitialised([&] {
    return CGipsMediaHandler::SetSendParameters(pIncomingSdp, pOutgoingSdp, lMediaIndex,
                                                lChannelId);
  });
}

HRESULT CGipsMediaHandlerObject::StartSending(LONG lChannelId) {
  return WhenInitialised([&] { return CGipsMediaHandler::StartSending(lChannelId); });
}

HRESULT CGipsMediaHandlerObject::StopSending(LONG lChannelId) {
  return WhenInitialised([&] { return CGipsMediaHandler::StopSending(lChannelId); });
}

HRESULT CGipsMediaHandlerObject::AddAnswerMediaDescription(ISdpContent* pIncomingSdp,
                                                           LONG lMediaIndex,
                                                           IMediaState* pMediaState,
                                                           ISdpContent* pOutgoingSdp) {
  return WhenInitialised([&] {
    return CGipsMediaHandler::AddAnswerMediaDescription(pIncomingSdp, lMediaIndex, pMediaState,
                                                        pOutgoingSdp);
  });
}

HRESULT CGipsMediaHandlerObject::AddOfferMediaDescription(CT_MEDIA_TYPE mediaType,
                                                          IMediaState* pMediaState,
                                                          ISdpContent* pOutgoingSdp) {
  return WhenInitialised([&] {
    return CGipsMediaHandler::AddOfferMediaDescription(mediaType, pMediaState, pOutgoingSdp);
  });
}

HRESULT CGipsMediaHandlerObject::ClearPreferredAudioFormats() {
  return CGipsMediaHandler::ClearPreferredAudioFormats();
}

HRESULT CGipsMediaHandlerObject::SetReserved(LONG) { return S_OK; }
