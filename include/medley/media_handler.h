// The plug-in's COM class: its identifiers and IMediaHandlerEx, the extended
// form of IMediaHandler. The slot order is binding.
#pragma once

#include "medley/audio_control.h"
#include "medley/com_base.h"
#include "medley/host_interfaces.h"

// "KsMedley GipsMediaHandler Class".
constexpr CLSID CLSID_GipsMediaHandler = {
    0x35930323, 0xC68D, 0x47A6, {0xB7, 0x57, 0x5C, 0x4E, 0x70, 0xCC, 0xC3, 0x5F}};
constexpr IID IID_IMediaHandlerEx = {
    0x5C3B185A, 0xA7A1, 0x4A23, {0x93, 0xAE, 0x0D, 0x81, 0x63, 0xE1, 0x39, 0xC6}};
// The component category the class is registered in.
constexpr GUID CATID_MedleyMediaHandlers = {
    0x12E45602, 0x3ACF, 0x4907, {0xBE, 0xB8, 0xC4, 0xFB, 0xD9, 0xDB, 0xB2, 0x0B}};

#define MEDLEY_PROGID_VERSIONED "Medley.GipsMediaHandler.1"
#define MEDLEY_PROGID "Medley.GipsMediaHandler"

// The 16 methods of IMediaHandler in the same slots, then two more.
class IMediaHandlerEx : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE get_Version(BSTR* pbstrVersion) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_VendorInformation(BSTR* pbstrVendorInformation) = 0;
  virtual HRESULT STDMETHODCALLTYPE Init(INetwork* pNetwork) = 0;
  virtual HRESULT STDMETHODCALLTYPE AnyCommonFormat(ISdpContent* pIncomingSdp, LONG lMediaIndex,
                                                    VARIANT_BOOL* pbAnyCommonFormat) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReserveChannel(LONG* plChannelId, VARIANT_BOOL bCaller,
                                                   BSTR bstrFormatList,
                                                   VARIANT_BOOL* pbReservationSucceeded) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReleaseChannel(LONG lChannelId) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetReceiveParameters(ISdpContent* pOutgoingSdp,
                                                         LONG lMediaIndex, LONG lChannelId) = 0;
  virtual HRESULT STDMETHODCALLTYPE StartListen(LONG lChannelId) = 0;
  virtual HRESULT STDMETHODCALLTYPE StopListen(LONG lChannelId) = 0;
  virtual HRESULT STDMETHODCALLTYPE StartPlayout(LONG lChannelId) = 0;
  virtual HRESULT STDMETHODCALLTYPE StopPlayout(LONG lChannelId) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSendParameters(ISdpContent* pIncomingSdp,
                                                      ISdpContent* pOutgoingSdp, LONG lMediaIndex,
                                                      LONG lChannelId) = 0;
  virtual HRESULT STDMETHODCALLTYPE StartSending(LONG lChannelId) = 0;
  virtual HRESULT STDMETHODCALLTYPE StopSending(LONG lChannelId) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddAnswerMediaDescription(ISdpContent* pIncomingSdp,
                                                              LONG lMediaIndex,
                                                              IMediaState* pMediaState,
                                                              ISdpContent* pOutgoingSdp) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddOfferMediaDescription(CT_MEDIA_TYPE mediaType,
                                                             IMediaState* pMediaState,
                                                             ISdpContent* pOutgoingSdp) = 0;
  // As IAudioControl::ClearPreferredAudioFormats.
  virtual HRESULT STDMETHODCALLTYPE ClearPreferredAudioFormats() = 0;
  // Kept for hosts that pass a value here; does nothing and answers S_OK.
  virtual HRESULT STDMETHODCALLTYPE SetReserved(LONG lValue) = 0;

 protected:
  ~IMediaHandlerEx() = default;
};

template <>
struct InterfaceIdOf<IMediaHandlerEx> {
  static constexpr const IID& value = IID_IMediaHandlerEx;
};
