// CMediaHandlerImpl: the generic layer of the media handler. It implements
// the host's IMediaHandler negotiation methods and the SDP work behind them
// (formats of a media line, common formats, dynamic payload memory, packet
// time, receive port and send address choice) and keeps the channel table.
// What depends on the voice engine is asked of the concrete handler through
// the virtual operations below (template method).
//
// Called on the host's apartment thread only; no locks. Host-facing methods
// catch standard exceptions (see GuardComCall); the internal operations may
// throw std::bad_alloc.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "media/channel_state.h"
#include "media/payload_type.h"
#include "medley/host_interfaces.h"
#include "platform/com_ptr.h"
#include "platform/wide_text.h"

// Failed reservation, failed listen start, or no supported payload.
constexpr HRESULT kMediaChannelFailure = static_cast<HRESULT>(0x80040066u);
// The speaker device could not be used when playout started.
constexpr HRESULT kMediaSpeakerFailure = static_cast<HRESULT>(0x80040067u);

class CMediaHandlerImpl : public IMediaHandler {
 public:
  CMediaHandlerImpl(const CMediaHandlerImpl&) = delete;
  CMediaHandlerImpl& operator=(const CMediaHandlerImpl&) = delete;

  // IUnknown: one reference count for the object; IUnknown and IMediaHandler.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IMediaHandler, negotiation (media_handler_negotiation.cpp).
  HRESULT STDMETHODCALLTYPE AnyCommonFormat(ISdpContent* pIncomingSdp, LONG lMediaIndex,
                                            VARIANT_BOOL* pbAnyCommonFormat) override;
  HRESULT STDMETHODCALLTYPE AddAnswerMediaDescription(ISdpContent* pIncomingSdp, LONG lMediaIndex,
                                                      IMediaState* pMediaState,
                                                      ISdpContent* pOutgoingSdp) override;
  HRESULT STDMETHODCALLTYPE AddOfferMediaDescription(CT_MEDIA_TYPE mediaType,
                                                     IMediaState* pMediaState,
                                                     ISdpContent* pOutgoingSdp) override;

  // IMediaHandler, channel table and parameters (media_handler_channels.cpp).
  HRESULT STDMETHODCALLTYPE ReserveChannel(LONG* plChannelId, VARIANT_BOOL bCaller,
                                           BSTR bstrFormatList,
                                           VARIANT_BOOL* pbReservationSucceeded) override;
  HRESULT STDMETHODCALLTYPE ReleaseChannel(LONG lChannelId) override;
  HRESULT STDMETHODCALLTYPE SetReceiveParameters(ISdpContent* pOutgoingSdp, LONG lMediaIndex,
                                                 LONG lChannelId) override;
  HRESULT STDMETHODCALLTYPE SetSendParameters(ISdpContent* pIncomingSdp, ISdpContent* pOutgoingSdp,
                                              LONG lMediaIndex, LONG lChannelId) override;

  // Internal operations. Out-lists are replaced, not appended to. A failure
  // of a host call is returned unchanged.

  // The values of the attributes of media line `mediaIndex` named `name`:
  // an attribute "name:value" matches when its text before the first colon
  // equals as many leading characters of `name` (letter case ignored), so
  // "pt:30" matches "ptime"; an attribute without a colon matches when the
  // whole text equals `name`, and is its own value. Only when no media-level
  // attribute matched are the session-level attributes searched.
  HRESULT GetAttributeValues(ISdpContent* sdp, LONG mediaIndex, platform::OleStringView name,
                             std::vector<platform::OleString>* values);
  // The rtpmap records of the media line in attribute order (values that
  // start with no payload number are skipped), with the video sizes and bit
  // rate that their fmtp parameters give; plus, last, a default QCIF H.263
  // record when the format list holds 34 and no rtpmap declares it.
  HRESULT GetRtpmapPayloadTypes(ISdpContent* sdp, LONG mediaIndex, PayloadTypeList* formats);
  // The formats of the media line in format-list order: the first rtpmap
  // record of each number, else the static entry for numbers below 35;
  // other numbers and tokens that are no number are dropped.
  HRESULT GetRemoteFormats(ISdpContent* sdp, LONG mediaIndex, PayloadTypeList* formats);
  // For each local format (GetSupportedPayloadTypes, local preference order)
  // the first remote format of the same name (letter case ignored), with the
  // local rate and packet size.
  HRESULT GetCommonFormats(CT_MEDIA_TYPE mediaType, ISdpContent* sdp, LONG mediaIndex,
                           const PayloadTypeList& remote, PayloadTypeList* common);
  // Gives each dynamic format (96 and up) the number first used for its name
  // on the channel, and remembers new names; H.264 always takes the newest.
  // E_INVALIDARG for an unknown channel.
  HRESULT RememberPayloadNumbers(LONG channelId, PayloadTypeList* formats);
  // The media line's ptime in milliseconds, else the codec's default.
  HRESULT GetPacketTime(CT_MEDIA_TYPE mediaType, platform::OleStringView codecName,
                        ISdpContent* sdp, LONG mediaIndex, LONG* milliseconds);
  // INetwork LocalIp into *address (freed first). E_UNEXPECTED without INetwork.
  HRESULT GetLocalAddress(BSTR* address);
  // The first port from `firstPort`, in steps of 2 up to `lastPort` (at most
  // 65535), that no reserved channel uses and that a UDP socket can bind on
  // 127.0.0.1. Port 0 is never chosen (binding it proves nothing). E_FAIL past
  // the last port; a socket that cannot be created ends the search with the
  // socket error as a Win32 HRESULT.
  HRESULT FindFreePort(std::uint32_t firstPort, std::uint32_t lastPort, std::uint16_t* port);
  // The remote RTP address and port for media line `mediaIndex`: the
  // incoming connection address and port, or one of the peer's X-alt
  // alternatives when both sides list them and the peer's list holds its
  // connection address (the one not shared with our own list; a public one
  // of several; ours when all are shared). E_FAIL when all are shared and
  // none is our address.
  HRESULT SelectSendAddress(ISdpContent* incomingSdp, ISdpContent* outgoingSdp, LONG mediaIndex,
                            BSTR* address, std::uint16_t* port);
  // E_POINTER for a null `state`, E_INVALIDARG for an unknown channel.
  HRESULT GetChannelState(LONG channelId, ChannelState** state);

  // Virtual operations of a concrete handler. Their slot order, after the
  // IMediaHandler methods and the destructor, is fixed: do not reorder.
  virtual ~CMediaHandlerImpl();
  // Writes the media line of an offer (incomingSdp null, mediaIndex 0) or of
  // an answer to line `mediaIndex` of incomingSdp.
  virtual HRESULT DoAddMediaDescription(CT_MEDIA_TYPE mediaType, ISdpContent* outgoingSdp,
                                        LONG channelId, BYTE rejected, BYTE hold,
                                        const PayloadTypeList& formats, ISdpContent* incomingSdp,
                                        LONG mediaIndex) = 0;
  // S_OK with a new channel in *plChannelId and *pbReservationSucceeded
  // VARIANT_TRUE; S_FALSE when the engine gave no channel.
  virtual HRESULT DoReserveChannel(LONG* plChannelId, VARIANT_BOOL* pbReservationSucceeded) = 0;
  // S_FALSE for a channel not in the table.
  virtual HRESULT DoReleaseChannel(LONG channelId) = 0;
  virtual HRESULT SetReceiveParameter(CT_MEDIA_TYPE mediaType, ISdpContent* sdp, LONG mediaIndex,
                                      LONG channelId, const PayloadTypeList& formats) = 0;
  virtual HRESULT ResetReceiveParameters(LONG channelId) = 0;
  virtual HRESULT SetSendParameter(CT_MEDIA_TYPE mediaType, ISdpContent* sdp, LONG mediaIndex,
                                   LONG channelId, const PayloadTypeList& formats) = 0;
  virtual HRESULT ResetSendParameters(LONG channelId) = 0;
  // The local formats in preference order. Default: S_OK with none.
  virtual HRESULT GetSupportedPayloadTypes(CT_MEDIA_TYPE mediaType, PayloadTypeList* formats);
  // A codec's packet time in milliseconds. Default: S_OK with 0.
  virtual HRESULT GetDefaultPacketTime(CT_MEDIA_TYPE mediaType, platform::OleStringView codecName,
                                       LONG* milliseconds);
  // Whether a reserved channel already receives on `port`.
  virtual bool IsPortInUse(std::uint32_t port);

 protected:
  CMediaHandlerImpl();

  // The host's network settings from Init; null before.
  INetwork* Network() const { return network_.Get(); }
  void SetNetwork(INetwork* network) { network_ = platform::ComPtr<INetwork>(network); }
  // The channel table changes only through these two. EnterChannel keeps an
  // existing entry; RemoveChannel answers whether there was one.
  void EnterChannel(LONG channelId);
  bool RemoveChannel(LONG channelId);

 private:
  // GetRemoteFormats, also giving the line's media type: one reading of the
  // line serves both.
  HRESULT ReadMediaLine(ISdpContent* sdp, LONG mediaIndex, CT_MEDIA_TYPE* type,
                        PayloadTypeList* formats);

  std::atomic<ULONG> references_{1};
  platform::ComPtr<INetwork> network_;
  ChannelTable channels_;
};
