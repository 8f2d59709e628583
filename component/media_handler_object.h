// CGipsMediaHandlerObject: the COM object the class factory makes. It is a
// CGipsMediaHandler that also carries IMediaHandlerEx, and owns the object's
// interface map:
//
//   IUnknown, IMediaHandler  the IMediaHandler pointer
//   IMediaHandlerEx          its own pointer: the 16 IMediaHandler methods,
//                            ClearPreferredAudioFormats and SetReserved
//   IAudioControl            its own pointer (the handler's audio controls)
//
// All pointers share the handler's one reference count. The object holds a
// module lock while it lives. Until a successful Init, the negotiation and
// channel methods answer E_UNEXPECTED (the handler needs the host's
// INetwork for every one of them).
//
// Called on the host's apartment thread only, as the handler is.
#pragma once

#include "component/module_lock.h"
#include "media/gips_media_handler.h"
#include "medley/audio_control.h"
#include "medley/media_handler.h"
#include "platform/com_ptr.h"

// The module lock comes first among the bases, so it is taken before the
// handler (and its engine) is built and given back only after all of it is
// gone.
class CGipsMediaHandlerObject final : private component::ScopedModuleLock,
                                      public CGipsMediaHandler,
                                      public IMediaHandlerEx {
 public:
  // A new object with one reference, as IMediaHandler. Throws std::bad_alloc.
  static platform::ComPtr<IMediaHandler> Create();

  CGipsMediaHandlerObject(const CGipsMediaHandlerObject&) = delete;
  CGipsMediaHandlerObject& operator=(const CGipsMediaHandlerObject&) = delete;

  // IUnknown, for every interface of the object.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IMediaHandler and the first 16 slots of IMediaHandlerEx.
  HRESULT STDMETHODCALLTYPE get_Version(BSTR* pbstrVersion) override;
  HRESULT STDMETHODCALLTYPE get_VendorInformation(BSTR* pbstrVendorInformation) override;
  HRESULT STDMETHODCALLTYPE Init(INetwork* pNetwork) override;
  HRESULT STDMETHODCALLTYPE AnyCommonFormat(ISdpContent* pIncomingSdp, LONG lMediaIndex,
                                            VARIANT_BOOL* pbAnyCommonFormat) override;
  HRESULT STDMETHODCALLTYPE ReserveChannel(LONG* plChannelId, VARIANT_BOOL bCaller,
                                           BSTR bstrFormatList,
                                           VARIANT_BOOL* pbReservationSucceeded) override;
  HRESULT STDMETHODCALLTYPE ReleaseChannel(LONG lChannelId) override;
  HRESULT STDMETHODCALLTYPE SetReceiveParameters(ISdpContent* pOutgoingSdp, LONG lMediaIndex,
                                                 LONG lChannelId) override;
  HRESULT STDMETHODCALLTYPE StartListen(LONG lChannelId) override;
  HRESULT STDMETHODCALLTYPE StopListen(LONG lChannelId) override;
  HRESULT STDMETHODCALLTYPE StartPlayout(LONG lChannelId) override;
  HRESULT STDMETHODCALLTYPE StopPlayout(LONG lChannelId) override;
  HRESULT STDMETHODCALLTYPE SetSendParameters(ISdpContent* pIncomingSdp, ISdpContent* pOutgoingSdp,
                                              LONG lMediaIndex, LONG lChannelId) override;
  HRESULT STDMETHODCALLTYPE StartSending(LONG lChannelId) override;
  HRESULT STDMETHODCALLTYPE StopSending(LONG lChannelId) override;
  HRESULT STDMETHODCALLTYPE AddAnswerMediaDescription(ISdpContent* pIncomingSdp, LONG lMediaIndex,
                                                      IMediaState* pMediaState,
                                                      ISdpContent* pOutgoingSdp) override;
  HRESULT STDMETHODCALLTYPE AddOfferMediaDescription(CT_MEDIA_TYPE mediaType,
                                                     IMediaState* pMediaState,
                                                     ISdpContent* pOutgoingSdp) override;

  // The last two slots of IMediaHandlerEx. ClearPreferredAudioFormats is the
  // audio control of the same name; SetReserved does nothing and answers S_OK.
  HRESULT STDMETHODCALLTYPE ClearPreferredAudioFormats() override;
  HRESULT STDMETHODCALLTYPE SetReserved(LONG lValue) override;

 private:
  CGipsMediaHandlerObject();
  ~CGipsMediaHandlerObject() override;

  // The one initialisation guard of the host methods: `call()` once the
  // handler's Init has succeeded, E_UNEXPECTED before.
  template <class Call>
  HRESULT WhenInitialised(Call&& call) {
    return IsInitialised() ? call() : E_UNEXPECTED;
  }
};
