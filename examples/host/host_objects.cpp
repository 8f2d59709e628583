#include "host_objects.h"

namespace {

#define NOT_USED(signature) \
  HRESULT STDMETHODCALLTYPE signature override { return E_NOTIMPL; }

class HostNetwork : public ComObject<INetwork> {
 public:
  HostNetwork(const std::string& localIp, LONG preferredAudioPort)
      : ComObject(IID_INetwork), localIp_(localIp), audioPort_(preferredAudioPort) {}

  HRESULT STDMETHODCALLTYPE get_LocalIp(BSTR* pVal) override { return Put(pVal, localIp_); }
  HRESULT STDMETHODCALLTYPE put_LocalIp(BSTR newVal) override {
    localIp_ = FromBstr(newVal);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ConnectionType(CT_CONNECTION_TYPE* pVal) override {
    if (!pVal) return E_POINTER;
    *pVal = CT_CONNECTION_TYPE_2048_KBPS;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_AudioTosValue(LONG* pVal) override { return Get(pVal, 0); }
  HRESULT STDMETHODCALLTYPE get_PreferredAudioRtpPort(LONG* pVal) override {
    return Get(pVal, audioPort_);
  }
  HRESULT STDMETHODCALLTYPE put_PreferredAudioRtpPort(LONG newVal) override {
    audioPort_ = newVal;
    return S_OK;
  }
  // The engine object, opaque to the host; a host passes it to its video
  // code for lip synchronisation.
  HRESULT STDMETHODCALLTYPE get_VoiceEngine(LONG** pVal) override {
    if (!pVal) return E_POINTER;
    *pVal = voiceEngine_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_VoiceEngine(LONG* newVal) override {
    voiceEngine_ = newVal;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_LastAudioChannel(LONG* pVal) override {
    return Get(pVal, lastChannel_);
  }
  HRESULT STDMETHODCALLTYPE put_LastAudioChannel(LONG newVal) override {
    lastChannel_ = newVal;
    return S_OK;
  }

  NOT_USED(put_IsUseStaticLocalIP(VARIANT_BOOL))
  NOT_USED(GetLocalPort(CT_TRANSPORT_TYPE, LONG*))
  NOT_USED(put_ContactTransport(CT_TRANSPORT_TYPE))
  NOT_USED(SetStunServer(BSTR, LONG))
  NOT_USED(IsMediaPossible(VARIANT_BOOL*))
  NOT_USED(IsBehindNat(VARIANT_BOOL*))
  NOT_USED(IsBehindFirewall(VARIANT_BOOL*))
  NOT_USED(put_UseHeartbeat(VARIANT_BOOL))
  NOT_USED(put_NatHeartbeatInterval(LONG))
  NOT_USED(put_T1(LONG))
  NOT_USED(get_T1(LONG*))
  NOT_USED(put_T2(LONG))
  NOT_USED(get_T2(LONG*))
  NOT_USED(put_T4(LONG))
  NOT_USED(get_T4(LONG*))
  NOT_USED(put_ConnectionType(CT_CONNECTION_TYPE))
  NOT_USED(put_AudioTosValue(LONG))
  NOT_USED(get_VideoTosValue(LONG*))
  NOT_USED(put_VideoTosValue(LONG))
  NOT_USED(get_IsConnected(VARIANT_BOOL*))
  NOT_USED(put_UpnpEnabled(VARIANT_BOOL))
  NOT_USED(put_UseBWCustCodecSel(VARIANT_BOOL))
  NOT_USED(put_UseRPortForNatTraversal(VARIANT_BOOL))
  NOT_USED(put_PreferredSipPort(LONG))
  NOT_USED(get_PreferredVideoRtpPort(LONG*))
  NOT_USED(put_PreferredVideoRtpPort(LONG))
  NOT_USED(get_PreferredMSRPPort(LONG*))
  NOT_USED(put_PreferredMSRPPort(LONG))
  NOT_USED(put_VoiceMessagingEnabled(VARIANT_BOOL))
  NOT_USED(ResetVideoParameters())
  NOT_USED(GetVideoParameters(CT_IMAGE_RESOLUTION, VARIANT_BOOL*, LONG*, LONG*, LONG*, LONG*, LONG*,
                              VARIANT_BOOL*, VARIANT_BOOL*))
  NOT_USED(SetVideoParameters(CT_IMAGE_RESOLUTION, VARIANT_BOOL, LONG, LONG, LONG, LONG, LONG,
                              VARIANT_BOOL, VARIANT_BOOL))
  NOT_USED(put_NetDetectionEnabled(VARIANT_BOOL))
  NOT_USED(put_SipDnsServer(BSTR))
  NOT_USED(get_PresenceType(BSTR*))
  NOT_USED(put_PresenceType(BSTR))
  NOT_USED(put_SMSEnabled(VARIANT_BOOL))
  NOT_USED(get_SMSEnabled(VARIANT_BOOL*))
  NOT_USED(get_UserAgent(BSTR*))
  NOT_USED(put_UserAgent(BSTR))
  NOT_USED(get_AdvLoginEnabled(VARIANT_BOOL*))
  NOT_USED(put_AdvLoginEnabled(VARIANT_BOOL))
  NOT_USED(get_UseAudioVideoSynchronization(LONG*))
  NOT_USED(put_UseAudioVideoSynchronization(LONG))
  NOT_USED(get_SessionExpireTime(LONG*))
  NOT_USED(put_SessionExpireTime(LONG))

 private:
  static HRESULT Get(LONG* out, LONG value) {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
  }

  std::string localIp_;
  LONG audioPort_;
  LONG* voiceEngine_ = nullptr;
  LONG lastChannel_ = -1;
};

// One object answering both media-state interfaces, as a softphone's call
// line object does.
class HostMediaState : public ComObject<IMediaState>, public IMediaState2 {
 public:
  HostMediaState(LONG channelId, VARIANT_BOOL anyCommonFormat, VARIANT_BOOL terminated)
      : ComObject(IID_IMediaState),
        channelId_(channelId),
        anyCommonFormat_(anyCommonFormat),
        terminated_(terminated) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv && IsEqualIID(riid, IID_IMediaState2)) {
      *ppv = static_cast<IMediaState2*>(this);
      AddRef();
      return S_OK;
    }
    return ComObject::QueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ComObject::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return ComObject::Release(); }

  HRESULT STDMETHODCALLTYPE get_ChannelId(LONG* pVal) override {
    if (!pVal) return E_POINTER;
    *pVal = channelId_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_AnyCommonFormat(VARIANT_BOOL* pVal) override {
    if (!pVal) return E_POINTER;
    *pVal = anyCommonFormat_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_LocalMediaDirection(CT_MEDIA_DIRECTION* pVal) override {
    return Direction(pVal);
  }
  HRESULT STDMETHODCALLTYPE get_AnswerMediaDirection(CT_MEDIA_DIRECTION* pVal) override {
    return Direction(pVal);
  }
  HRESULT STDMETHODCALLTYPE get_Terminated(VARIANT_BOOL* pVal) override {
    if (!pVal) return E_POINTER;
    *pVal = terminated_;
    return S_OK;
  }

 private:
  static HRESULT Direction(CT_MEDIA_DIRECTION* out) {
    if (!out) return E_POINTER;
    *out = CT_MEDIA_SENDRECV;
    return S_OK;
  }

  const LONG channelId_;
  const VARIANT_BOOL anyCommonFormat_;
  const VARIANT_BOOL terminated_;
};

}  // namespace

INetwork* CreateHostNetwork(const std::string& localIp, LONG preferredAudioPort) {
  return new HostNetwork(localIp, preferredAudioPort);
}

IMediaState* CreateHostMediaState(LONG channelId, VARIANT_BOOL anyCommonFormat,
                                  VARIANT_BOOL terminated) {
  return new HostMediaState(channelId, anyCommonFormat, terminated);
}
