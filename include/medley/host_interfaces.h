// The contract between the softphone host and the media plug-in: the
// enumerations, interface identifiers and interfaces of the MEDLEYLib type
// library. Callers bind by virtual-table slot, so the order of the methods
// below is binding; do not reorder, insert or remove any of them.
#pragma once

#include "medley/com_base.h"

// MEDLEYLib, version 4.2, "Kestrel Medley 4.2 Type Library".
constexpr GUID LIBID_MEDLEYLib = {
    0x45D06C87, 0x66E5, 0x471E, {0x93, 0x71, 0xA8, 0xAD, 0xC9, 0xBF, 0x02, 0xB0}};

enum CT_TRANSPORT_TYPE : LONG {
  CT_TRANSPORT_NONE = 0,
  CT_TRANSPORT_UDP = 1,
  CT_TRANSPORT_TCP = 2,
  CT_TRANSPORT_TLS = 4,
  CT_TRANSPORT_SCTP = 8,
  CT_TRANSPORT_UNSUPPORTED = 16,
};

// The link rate in kbit/s.
enum CT_CONNECTION_TYPE : LONG {
  CT_CONNECTION_TYPE_2048_KBPS = 2048,
  CT_CONNECTION_TYPE_1024_KBPS = 1024,
  CT_CONNECTION_TYPE_512_KBPS = 512,
  CT_CONNECTION_TYPE_256_KBPS = 256,
  CT_CONNECTION_TYPE_128_KBPS = 128,
  CT_CONNECTION_TYPE_64_KBPS = 64,
};

enum CT_IMAGE_RESOLUTION : LONG {
  CT_IMAGE_RES_SUBQCIF = 0,
  CT_IMAGE_RES_QCIF = 1,
  CT_IMAGE_RES_CIF = 2,
  CT_IMAGE_RES_4CIF = 3,
  CT_IMAGE_RES_QQVGA = 4,
  CT_IMAGE_RES_QVGA = 5,
  CT_IMAGE_RES_VGA = 6,
  CT_IMAGE_RES_SVGA = 7,
  CT_IMAGE_RES_HD = 8,
  CT_IMAGE_RES_XGA = 9,
  CT_IMAGE_RES_FULL_HD = 10,
  CT_IMAGE_RES_WIDE_FULL_HD = 11,
  CT_IMAGE_RES_NTSC = 12,
  CT_IMAGE_RES_WQVGA = 13,
  CT_IMAGE_RES_WVGA = 14,
  CT_IMAGE_RES_WHD = 15,
};

// There is no 0 and no 3.
enum CT_MEDIA_TYPE : LONG {
  CT_MEDIA_AUDIO = 1,
  CT_MEDIA_VIDEO = 2,
  CT_MEDIA_APPLICATION = 4,
  CT_MEDIA_MSRP = 5,
  CT_MEDIA_UNKNOWN = 6,
};

// Send-receive is all bits set (-1), not the union of send and receive (3).
enum CT_MEDIA_DIRECTION : LONG {
  CT_MEDIA_INACTIVE = 0,
  CT_MEDIA_SENDONLY = 1,
  CT_MEDIA_RECVONLY = 2,
  CT_MEDIA_SENDRECV = -1,
};

constexpr IID IID_IMediaHandler = {
    0x7C061401, 0x2E21, 0x4BD7, {0x9D, 0xB6, 0x5F, 0x31, 0xE0, 0xE0, 0x9F, 0x49}};
constexpr IID IID_INetwork = {
    0xD03AE658, 0xBA74, 0x44F9, {0xB7, 0xDE, 0xDD, 0x02, 0x3D, 0x75, 0xB5, 0xA2}};
constexpr IID IID_ISdpContent = {
    0x00891F91, 0x6099, 0x475A, {0x97, 0xC7, 0xAB, 0x48, 0xE7, 0x0A, 0x4F, 0xF7}};
constexpr IID IID_IMediaState = {
    0x43D413D8, 0x6FE3, 0x4A1F, {0xB0, 0xD8, 0xAD, 0xE5, 0x2A, 0xDA, 0x2E, 0x31}};
// Not in the type library: a second interface of the host's media-state object.
constexpr IID IID_IMediaState2 = {
    0xD2C26650, 0x5152, 0x4A1D, {0x95, 0xD1, 0x00, 0x01, 0x2E, 0xCB, 0x6C, 0xAB}};

class INetwork;
class ISdpContent;
class IMediaState;

// Implemented by the plug-in.
class IMediaHandler : public IUnknown {
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

 protected:
  ~IMediaHandler() = default;
};

// One SDP session description; a media index is the zero-based position of
// a media line. Attribute strings are the text after "a=".
class ISdpContent : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE get_ProtocolVersion(BSTR* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ProtocolVersion(BSTR newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetOrigin(BSTR* pbstrUserName, BSTR* pbstrSessionId,
                                              BSTR* pbstrVersion, BSTR* pbstrNetworkType,
                                              BSTR* pbstrAddressType, BSTR* pbstrAddress) = 0;
  virtual HRESULT STDMETHODCALLTYPE PutOrigin(BSTR bstrUserName, BSTR bstrSessionId,
                                              BSTR bstrVersion, BSTR bstrNetworkType,
                                              BSTR bstrAddressType, BSTR bstrAddress) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SessionName(BSTR* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_SessionName(BSTR newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SessionInformation(BSTR* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_SessionInformation(BSTR newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DescriptionUri(BSTR* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DescriptionUri(BSTR newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Email(BSTR* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Email(BSTR newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Phone(BSTR* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Phone(BSTR newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetConnection(BSTR* pbstrNetworkType, BSTR* pbstrAddressType,
                                                  BSTR* pbstrAddress) = 0;
  virtual HRESULT STDMETHODCALLTYPE PutConnection(BSTR bstrNetworkType, BSTR bstrAddressType,
                                                  BSTR bstrAddress) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BandwidthInformation(BSTR* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_BandwidthInformation(BSTR newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_TimeDescriptionCount(LONG* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTimeInformation(LONG lTimeDescriptionIndex,
                                                       BSTR* pbstrTimeInformation,
                                                       LONG* plRepeatTimeCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddTimeInformation(BSTR bstrTimeInformation,
                                                       LONG* plTimeDescriptionIndex) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRepeatTimeCount(LONG lTimeDescriptionIndex, LONG* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRepeatTimeInformation(LONG lTimeDescriptionIndex,
                                                             LONG lRepeatTimeDescriptionIndex,
                                                             BSTR* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddRepeatTimeInformation(LONG lTimeDescriptionIndex,
                                                             BSTR bstrRepeatTimeInformation) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_TimeZoneAdjustments(BSTR* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_TimeZoneAdjustments(BSTR newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_EncryptionKey(BSTR* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_EncryptionKey(BSTR newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AttributeCount(LONG* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAttribute(LONG lAttributeIndex, BSTR* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddAttribute(BSTR bstrAttribute) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MediaCount(LONG* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMedia(LONG lMediaIndex, CT_MEDIA_TYPE* pMedia, LONG* plPort,
                                             BSTR* pbstrTransport, BSTR* pbstrFormatList) = 0;
  virtual HRESULT STDMETHODCALLTYPE PutMedia(LONG lMediaIndex, CT_MEDIA_TYPE media, LONG lPort,
                                             BSTR bstrTransport, BSTR bstrFormatList) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddMedia(CT_MEDIA_TYPE media, LONG lPort, BSTR bstrTransport,
                                             BSTR bstrFormatList, LONG* plMediaIndex) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMediaInformation(LONG lMediaIndex, BSTR* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE PutMediaInformation(LONG lMediaIndex, BSTR newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMediaConnection(LONG lMediaIndex, BSTR* pbstrNetworkType,
                                                       BSTR* pbstrAddressType,
                                                       BSTR* pbstrAddress) = 0;
  virtual HRESULT STDMETHODCALLTYPE PutMediaConnection(LONG lMediaIndex, BSTR bstrNetworkType,
                                                       BSTR bstrAddressType, BSTR bstrAddress) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMediaBandwidthInformation(LONG lMediaIndex, BSTR* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE PutMediaBandwidthInformation(LONG lMediaIndex, BSTR newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMediaEncryptionKey(LONG lMediaIndex, BSTR* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE PutMediaEncryptionKey(LONG lMediaIndex, BSTR newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMediaAttributeCount(LONG lMediaIndex, LONG* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMediaAttribute(LONG lMediaIndex, LONG lAttributeIndex,
                                                      BSTR* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddMediaAttribute(LONG lMediaIndex, BSTR bstrAttribute) = 0;

 protected:
  ~ISdpContent() = default;
};

// The state of one media line of a call; all members are read-only.
class IMediaState : public IUnknown {
 public:
  // -1 when no channel is reserved.
  virtual HRESULT STDMETHODCALLTYPE get_ChannelId(LONG* plChannelId) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AnyCommonFormat(VARIANT_BOOL* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LocalMediaDirection(CT_MEDIA_DIRECTION* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Terminated(VARIANT_BOOL* pVal) = 0;

 protected:
  ~IMediaState() = default;
};

// Reached by QueryInterface on the host's media-state object.
class IMediaState2 : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE get_ChannelId(LONG* plChannelId) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AnyCommonFormat(VARIANT_BOOL* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LocalMediaDirection(CT_MEDIA_DIRECTION* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AnswerMediaDirection(CT_MEDIA_DIRECTION* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Terminated(VARIANT_BOOL* pVal) = 0;

 protected:
  ~IMediaState2() = default;
};

// The settings of the host's network layer. Note that the get/put order
// differs between properties (T1, T2, T4 and SMSEnabled put first).
class INetwork : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE put_IsUseStaticLocalIP(VARIANT_BOOL newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LocalIp(BSTR* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_LocalIp(BSTR newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetLocalPort(CT_TRANSPORT_TYPE transport,
                                                 LONG* plLocalPort) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ContactTransport(CT_TRANSPORT_TYPE newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetStunServer(BSTR bstrStunServerAddress,
                                                  LONG lStunServerPort) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsMediaPossible(VARIANT_BOOL* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsBehindNat(VARIANT_BOOL* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsBehindFirewall(VARIANT_BOOL* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UseHeartbeat(VARIANT_BOOL newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_NatHeartbeatInterval(LONG newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_T1(LONG newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_T1(LONG* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_T2(LONG newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_T2(LONG* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_T4(LONG newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_T4(LONG* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionType(CT_CONNECTION_TYPE* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ConnectionType(CT_CONNECTION_TYPE newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AudioTosValue(LONG* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AudioTosValue(LONG newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_VideoTosValue(LONG* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_VideoTosValue(LONG newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsConnected(VARIANT_BOOL* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UpnpEnabled(VARIANT_BOOL newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UseBWCustCodecSel(VARIANT_BOOL newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UseRPortForNatTraversal(VARIANT_BOOL newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_PreferredSipPort(LONG newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PreferredAudioRtpPort(LONG* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_PreferredAudioRtpPort(LONG newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PreferredVideoRtpPort(LONG* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_PreferredVideoRtpPort(LONG newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PreferredMSRPPort(LONG* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_PreferredMSRPPort(LONG newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_VoiceMessagingEnabled(VARIANT_BOOL newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResetVideoParameters() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVideoParameters(
      CT_IMAGE_RESOLUTION imageResolution, VARIANT_BOOL* pvbEnabled, LONG* plBitRate,
      LONG* plFrameRate, LONG* plIntraFrameFrequency, LONG* plIntraGob, LONG* plFilter,
      VARIANT_BOOL* pvbHorizontalFilter, VARIANT_BOOL* pvbVerticalFilter) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetVideoParameters(CT_IMAGE_RESOLUTION imageResolution,
                                                       VARIANT_BOOL vbEnabled, LONG lBitRate,
                                                       LONG lFrameRate, LONG lIntraFrameFrequency,
                                                       LONG lIntraGob, LONG lFilter,
                                                       VARIANT_BOOL vbHorizontalFilter,
                                                       VARIANT_BOOL vbVerticalFilter) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_NetDetectionEnabled(VARIANT_BOOL newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_SipDnsServer(BSTR newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PresenceType(BSTR* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_PresenceType(BSTR newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_SMSEnabled(VARIANT_BOOL newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SMSEnabled(VARIANT_BOOL* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UserAgent(BSTR* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UserAgent(BSTR newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AdvLoginEnabled(VARIANT_BOOL* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AdvLoginEnabled(VARIANT_BOOL newVal) = 0;
  // An opaque pointer to the voice engine object.
  virtual HRESULT STDMETHODCALLTYPE get_VoiceEngine(LONG** pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_VoiceEngine(LONG* newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LastAudioChannel(LONG* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_LastAudioChannel(LONG newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UseAudioVideoSynchronization(LONG* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UseAudioVideoSynchronization(LONG newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SessionExpireTime(LONG* pVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_SessionExpireTime(LONG newVal) = 0;

 protected:
  ~INetwork() = default;
};

// Maps an interface type to its identifier, for ComPtr and QueryInterface;
// each interface header specialises it for its own interfaces.
template <class T>
struct InterfaceIdOf;
template <>
struct InterfaceIdOf<IMediaHandler> {
  static constexpr const IID& value = IID_IMediaHandler;
};
template <>
struct InterfaceIdOf<INetwork> {
  static constexpr const IID& value = IID_INetwork;
};
template <>
struct InterfaceIdOf<ISdpContent> {
  static constexpr const IID& value = IID_ISdpContent;
};
template <>
struct InterfaceIdOf<IMediaState> {
  static constexpr const IID& value = IID_IMediaState;
};
template <>
struct InterfaceIdOf<IMediaState2> {
  static constexpr const IID& value = IID_IMediaState2;
};
