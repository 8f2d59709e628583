#include "host/reference_network.h"

#include "platform/bstr.h"

namespace host {

namespace {

constexpr const char* kMemberNames[] = {
    "put_IsUseStaticLocalIP",
    "get_LocalIp",
    "put_LocalIp",
    "GetLocalPort",
    "put_ContactTransport",
    "SetStunServer",
    "IsMediaPossible",
    "IsBehindNat",
    "IsBehindFirewall",
    "put_UseHeartbeat",
    "put_NatHeartbeatInterval",
    "put_T1",
    "get_T1",
    "put_T2",
    "get_T2",
    "put_T4",
    "get_T4",
    "get_ConnectionType",
    "put_ConnectionType",
    "get_AudioTosValue",
    "put_AudioTosValue",
    "get_VideoTosValue",
    "put_VideoTosValue",
    "get_IsConnected",
    "put_UpnpEnabled",
    "put_UseBWCustCodecSel",
    "put_UseRPortForNatTraversal",
    "put_PreferredSipPort",
    "get_PreferredAudioRtpPort",
    "put_PreferredAudioRtpPort",
    "get_PreferredVideoRtpPort",
    "put_PreferredVideoRtpPort",
    "get_PreferredMSRPPort",
    "put_PreferredMSRPPort",
    "put_VoiceMessagingEnabled",
    "ResetVideoParameters",
    "GetVideoParameters",
    "SetVideoParameters",
    "put_NetDetectionEnabled",
    "put_SipDnsServer",
    "get_PresenceType",
    "put_PresenceType",
    "put_SMSEnabled",
    "get_SMSEnabled",
    "get_UserAgent",
    "put_UserAgent",
    "get_AdvLoginEnabled",
    "put_AdvLoginEnabled",
    "get_VoiceEngine",
    "put_VoiceEngine",
    "get_LastAudioChannel",
    "put_LastAudioChannel",
    "get_UseAudioVideoSynchronization",
    "put_UseAudioVideoSynchronization",
    "get_SessionExpireTime",
    "put_SessionExpireTime",
};

}  // namespace

platform::ComPtr<ReferenceNetwork> ReferenceNetwork::Create() {
  return platform::ComPtr<ReferenceNetwork>::Adopt(new ReferenceNetwork());
}

ReferenceNetwork::ReferenceNetwork() : calls_(MemberTableOf<kMemberNames>()) {}

std::span<const char* const> ReferenceNetwork::MemberNames() { return kMemberNames; }

HRESULT ReferenceNetwork::QueryInterface(REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_INetwork)) {
    *ppvObject = static_cast<INetwork*>(this);
    AddRef();
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

ULONG ReferenceNetwork::AddRef() { return refs_.Increment(); }

ULONG ReferenceNetwork::Release() {
  ULONG remaining = refs_.Decrement();
  if (remaining == 0) delete this;
  return remaining;
}

template <class T>
HRESULT ReferenceNetwork::Read(std::string_view member, const T& value, T* out) {
  HRESULT hr = calls_.Enter(member);
  if (hr != S_OK) return hr;
  if (!out) return E_POINTER;
  *out = value;
  return S_OK;
}

template <class T>
HRESULT ReferenceNetwork::Write(std::string_view member, T& field, T value) {
  HRESULT hr = calls_.Enter(member);
  if (hr != S_OK) return hr;
  field = value;
  return S_OK;
}

HRESULT ReferenceNetwork::ReadText(std::string_view member, const platform::OleString& value,
                                   BSTR* out) {
  HRESULT hr = calls_.Enter(member);
  if (hr != S_OK) return hr;
  return CopyToBstr(value, out);
}

HRESULT ReferenceNetwork::WriteText(std::string_view member, platform::OleString& field,
                                    BSTR value) {
  HRESULT hr = calls_.Enter(member);
  if (hr != S_OK) return hr;
  return GuardComCall([&] {
    field.assign(platform::BstrView(value));
    return S_OK;
  });
}

HRESULT ReferenceNetwork::put_IsUseStaticLocalIP(VARIANT_BOOL newVal) {
  return Write("put_IsUseStaticLocalIP", settings_.use_static_local_ip, newVal);
}
HRESULT ReferenceNetwork::get_LocalIp(BSTR* pVal) {
  return ReadText("get_LocalIp", settings_.local_ip, pVal);
}
HRESULT ReferenceNetwork::put_LocalIp(BSTR newVal) {
  return WriteText("put_LocalIp", settings_.local_ip, newVal);
}

HRESULT ReferenceNetwork::GetLocalPort(CT_TRANSPORT_TYPE transport, LONG* plLocalPort) {
  HRESULT hr = calls_.Enter("GetLocalPort");
  if (hr != S_OK) return hr;
  if (!plLocalPort) return E_POINTER;
  switch (transport) {
    case CT_TRANSPORT_UDP:
      *plLocalPort = settings_.local_udp_port;
      return S_OK;
    case CT_TRANSPORT_TCP:
      *plLocalPort = settings_.local_tcp_port;
      return S_OK;
    case CT_TRANSPORT_TLS:
      *plLocalPort = settings_.local_tls_port;
      return S_OK;
    case CT_TRANSPORT_SCTP:
      *plLocalPort = settings_.local_sctp_port;
      return S_OK;
    default:
      // No port belongs to "none", "unsupported" or a value outside the enumeration.
      *plLocalPort = 0;
      return E_INVALIDARG;
  }
}

HRESULT ReferenceNetwork::put_ContactTransport(CT_TRANSPORT_TYPE newVal) {
  HRESULT hr = calls_.Enter("put_ContactTransport");
  if (hr != S_OK) return hr;
  if (!IsTransportType(newVal)) return E_INVALIDARG;
  settings_.contact_transport = newVal;
  return S_OK;
}

HRESULT ReferenceNetwork::SetStunServer(BSTR bstrStunServerAddress, LONG lStunServerPort) {
  HRESULT hr = calls_.Enter("SetStunServer");
  if (hr != S_OK) return hr;
  if (lStunServerPort < 0 || lStunServerPort > 65535) return E_INVALIDARG;
  return GuardComCall([&] {
    settings_.stun_server_address.assign(platform::BstrView(bstrStunServerAddress));
    settings_.stun_server_port = lStunServerPort;
    return S_OK;
  });
}

HRESULT ReferenceNetwork::IsMediaPossible(VARIANT_BOOL* pVal) {
  return Read("IsMediaPossible", settings_.media_possible, pVal);
}
HRESULT ReferenceNetwork::IsBehindNat(VARIANT_BOOL* pVal) {
  return Read("IsBehindNat", settings_.behind_nat, pVal);
}
HRESULT ReferenceNetwork::IsBehindFirewall(VARIANT_BOOL* pVal) {
  return Read("IsBehindFirewall", settings_.behind_firewall, pVal);
}
HRESULT ReferenceNetwork::put_UseHeartbeat(VARIANT_BOOL newVal) {
  return Write("put_UseHeartbeat", settings_.use_heartbeat, newVal);
}
HRESULT ReferenceNetwork::put_NatHeartbeatInterval(LONG newVal) {
  return Write("put_NatHeartbeatInterval", settings_.nat_heartbeat_interval, newVal);
}
HRESULT ReferenceNetwork::put_T1(LONG newVal) { return Write("put_T1", settings_.t1, newVal); }
HRESULT ReferenceNetwork::get_T1(LONG* pVal) { return Read("get_T1", settings_.t1, pVal); }
HRESULT ReferenceNetwork::put_T2(LONG newVal) { return Write("put_T2", settings_.t2, newVal); }
HRESULT ReferenceNetwork::get_T2(LONG* pVal) { return Read("get_T2", settings_.t2, pVal); }
HRESULT ReferenceNetwork::put_T4(LONG newVal) { return Write("put_T4", settings_.t4, newVal); }
HRESULT ReferenceNetwork::get_T4(LONG* pVal) { return Read("get_T4", settings_.t4, pVal); }

HRESULT ReferenceNetwork::get_ConnectionType(CT_CONNECTION_TYPE* pVal) {
  return Read("get_ConnectionType", settings_.connection_type, pVal);
}
HRESULT ReferenceNetwork::put_ConnectionType(CT_CONNECTION_TYPE newVal) {
  HRESULT hr = calls_.Enter("put_ConnectionType");
  if (hr != S_OK) return hr;
  if (!IsConnectionType(newVal)) return E_INVALIDARG;
  settings_.connection_type = newVal;
  return S_OK;
}

HRESULT ReferenceNetwork::get_AudioTosValue(LONG* pVal) {
  return Read("get_AudioTosValue", settings_.audio_tos_value, pVal);
}
HRESULT ReferenceNetwork::put_AudioTosValue(LONG newVal) {
  return Write("put_AudioTosValue", settings_.audio_tos_value, newVal);
}
HRESULT ReferenceNetwork::get_VideoTosValue(LONG* pVal) {
  return Read("get_VideoTosValue", settings_.video_tos_value, pVal);
}
HRESULT ReferenceNetwork::put_VideoTosValue(LONG newVal) {
  return Write("put_VideoTosValue", settings_.video_tos_value, newVal);
}
HRESULT ReferenceNetwork::get_IsConnected(VARIANT_BOOL* pVal) {
  return Read("get_IsConnected", settings_.connected, pVal);
}
HRESULT ReferenceNetwork::put_UpnpEnabled(VARIANT_BOOL newVal) {
  return Write("put_UpnpEnabled", settings_.upnp_enabled, newVal);
}
HRESULT ReferenceNetwork::put_UseBWCustCodecSel(VARIANT_BOOL newVal) {
  return Write("put_UseBWCustCodecSel", settings_.use_bw_cust_codec_sel, newVal);
}
HRESULT ReferenceNetwork::put_UseRPortForNatTraversal(VARIANT_BOOL newVal) {
  return Write("put_UseRPortForNatTraversal", settings_.use_rport_for_nat_traversal, newVal);
}
HRESULT ReferenceNetwork::put_PreferredSipPort(LONG newVal) {
  return Write("put_PreferredSipPort", settings_.preferred_sip_port, newVal);
}
HRESULT ReferenceNetwork::get_PreferredAudioRtpPort(LONG* pVal) {
  return Read("get_PreferredAudioRtpPort", settings_.preferred_audio_rtp_port, pVal);
}
HRESULT ReferenceNetwork::put_PreferredAudioRtpPort(LONG newVal) {
  return Write("put_PreferredAudioRtpPort", settings_.preferred_audio_rtp_port, newVal);
}
HRESULT ReferenceNetwork::get_PreferredVideoRtpPort(LONG* pVal) {
  return Read("get_PreferredVideoRtpPort", settings_.preferred_video_rtp_port, pVal);
}
HRESULT ReferenceNetwork::put_PreferredVideoRtpPort(LONG newVal) {
  return Write("put_PreferredVideoRtpPort", settings_.preferred_video_rtp_port, newVal);
}
HRESULT ReferenceNetwork::get_PreferredMSRPPort(LONG* pVal) {
  return Read("get_PreferredMSRPPort", settings_.preferred_msrp_port, pVal);
}
HRESULT ReferenceNetwork::put_PreferredMSRPPort(LONG newVal) {
  return Write("put_PreferredMSRPPort", settings_.preferred_msrp_port, newVal);
}
HRESULT ReferenceNetwork::put_VoiceMessagingEnabled(VARIANT_BOOL newVal) {
  return Write("put_VoiceMessagingEnabled", settings_.voice_messaging_enabled, newVal);
}

HRESULT ReferenceNetwork::ResetVideoParameters() {
  HRESULT hr = calls_.Enter("ResetVideoParameters");
  if (hr != S_OK) return hr;
  settings_.video = DefaultVideoParameterTable();
  return S_OK;
}

HRESULT ReferenceNetwork::GetVideoParameters(CT_IMAGE_RESOLUTION imageResolution,
                                             VARIANT_BOOL* pvbEnabled, LONG* plBitRate,
                                             LONG* plFrameRate, LONG* plIntraFrameFrequency,
                                             LONG* plIntraGob, LONG* plFilter,
                                             VARIANT_BOOL* pvbHorizontalFilter,
                                             VARIANT_BOOL* pvbVerticalFilter) {
  HRESULT hr = calls_.Enter("GetVideoParameters");
  if (hr != S_OK) return hr;
  if (!ClearOutputs(pvbEnabled, plBitRate, plFrameRate, plIntraFrameFrequency, plIntraGob, plFilter,
                    pvbHorizontalFilter, pvbVerticalFilter))
    return E_POINTER;
  if (!IsImageResolution(imageResolution)) return E_INVALIDARG;
  const VideoParameters& video = settings_.video[imageResolution];
  *pvbEnabled = video.enabled;
  *plBitRate = video.bit_rate;
  *plFrameRate = video.frame_rate;
  *plIntraFrameFrequency = video.intra_frame_frequency;
  *plIntraGob = video.intra_gob;
  *plFilter = video.filter;
  *pvbHorizontalFilter = video.horizontal_filter;
  *pvbVerticalFilter = video.vertical_filter;
  return S_OK;
}

HRESULT ReferenceNetwork::SetVideoParameters(CT_IMAGE_RESOLUTION imageResolution,
                                             VARIANT_BOOL vbEnabled, LONG lBitRate, LONG lFrameRate,
                                             LONG lIntraFrameFrequency, LONG lIntraGob,
                                             LONG lFilter, VARIANT_BOOL vbHorizontalFilter,
                                             VARIANT_BOOL vbVerticalFilter) {
  HRESULT hr = calls_.Enter("SetVideoParameters");
  if (hr != S_OK) return hr;
  if (!IsImageResolution(imageResolution)) return E_INVALIDARG;
  settings_.video[imageResolution] =
      VideoParameters{vbEnabled, lBitRate, lFrameRate,         lIntraFrameFrequency,
                      lIntraGob, lFilter,  vbHorizontalFilter, vbVerticalFilter};
  return S_OK;
}

HRESULT ReferenceNetwork::put_NetDetectionEnabled(VARIANT_BOOL newVal) {
  return Write("put_NetDetectionEnabled", settings_.net_detection_enabled, newVal);
}
HRESULT ReferenceNetwork::put_SipDnsServer(BSTR newVal) {
  return WriteText("put_SipDnsServer", settings_.sip_dns_server, newVal);
}
HRESULT ReferenceNetwork::get_PresenceType(BSTR* pVal) {
  return ReadText("get_PresenceType", settings_.presence_type, pVal);
}
HRESULT ReferenceNetwork::put_PresenceType(BSTR newVal) {
  return WriteText("put_PresenceType", settings_.presence_type, newVal);
}
HRESULT ReferenceNetwork::put_SMSEnabled(VARIANT_BOOL newVal) {
  return Write("put_SMSEnabled", settings_.sms_enabled, newVal);
}
HRESULT ReferenceNetwork::get_SMSEnabled(VARIANT_BOOL* pVal) {
  return Read("get_SMSEnabled", settings_.sms_enabled, pVal);
}
HRESULT ReferenceNetwork::get_UserAgent(BSTR* pVal) {
  return ReadText("get_UserAgent", settings_.user_agent, pVal);
}
HRESULT ReferenceNetwork::put_UserAgent(BSTR newVal) {
  return WriteText("put_UserAgent", settings_.user_agent, newVal);
}
HRESULT ReferenceNetwork::get_AdvLoginEnabled(VARIANT_BOOL* pVal) {
  return Read("get_AdvLoginEnabled", settings_.adv_login_enabled, pVal);
}
HRESULT ReferenceNetwork::put_AdvLoginEnabled(VARIANT_BOOL newVal) {
  return Write("put_AdvLoginEnabled", settings_.adv_login_enabled, newVal);
}
HRESULT ReferenceNetwork::get_VoiceEngine(LONG** pVal) {
  return Read("get_VoiceEngine", settings_.voice_engine, pVal);
}
HRESULT ReferenceNetwork::put_VoiceEngine(LONG* newVal) {
  return Write("put_VoiceEngine", settings_.voice_engine, newVal);
}
HRESULT ReferenceNetwork::get_LastAudioChannel(LONG* pVal) {
  return Read("get_LastAudioChannel", settings_.last_audio_channel, pVal);
}
HRESULT ReferenceNetwork::put_LastAudioChannel(LONG newVal) {
  return Write("put_LastAudioChannel", settings_.last_audio_channel, newVal);
}
HRESULT ReferenceNetwork::get_UseAudioVideoSynchronization(LONG* pVal) {
  return Read("get_UseAudioVideoSynchronization", settings_.use_audio_video_synchronization, pVal);
}
HRESULT ReferenceNetwork::put_UseAudioVideoSynchronization(LONG newVal) {
  return Write("put_UseAudioVideoSynchronization", settings_.use_audio_video_synchronization,
               newVal);
}
HRESULT ReferenceNetwork::get_SessionExpireTime(LONG* pVal) {
  return Read("get_SessionExpireTime", settings_.session_expire_time, pVal);
}
HRESULT ReferenceNetwork::put_SessionExpireTime(LONG newVal) {
  return Write("put_SessionExpireTime", settings_.session_expire_time, newVal);
}

}  // namespace host
