// An in-memory INetwork: every property is stored in a NetworkSettings and
// read back from it. Tests preset and inspect the values through Settings(),
// count calls with CallCount() and make members fail with SimulateError().
// Used on the host's apartment thread; only the reference count is atomic.
#pragma once

#include <span>
#include <string_view>

#include "host/com_support.h"
#include "host/host_call_recorder.h"
#include "host/network_settings.h"
#include "medley/host_interfaces.h"
#include "platform/com_ptr.h"

namespace host {

class ReferenceNetwork final : public INetwork {
 public:
  // A network object with the default settings (local address "127.0.0.1",
  // audio RTP from port 40000, connection type 2048 kbit/s, last audio
  // channel -1, no voice engine).
  static platform::ComPtr<ReferenceNetwork> Create();

  ReferenceNetwork(const ReferenceNetwork&) = delete;
  ReferenceNetwork& operator=(const ReferenceNetwork&) = delete;

  NetworkSettings& Settings() { return settings_; }
  const NetworkSettings& Settings() const { return settings_; }

  // The names of the INetwork members in slot order, starting at slot 3.
  static std::span<const char* const> MemberNames();

  // `member` (a name from MemberNames(), e.g. "get_ConnectionType") answers
  // `code` from now on, after `successes_first` calls that still succeed.
  void SimulateError(std::string_view member, HRESULT code, int successes_first = 0) {
    calls_.SimulateError(member, code, successes_first);
  }
  int CallCount(std::string_view member) const { return calls_.CallCount(member); }
  int TotalCallCount() const { return calls_.TotalCallCount(); }
  void ResetCallCounts() { calls_.ResetCallCounts(); }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // INetwork
  HRESULT STDMETHODCALLTYPE put_IsUseStaticLocalIP(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE get_LocalIp(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_LocalIp(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE GetLocalPort(CT_TRANSPORT_TYPE transport, LONG* plLocalPort) override;
  HRESULT STDMETHODCALLTYPE put_ContactTransport(CT_TRANSPORT_TYPE newVal) override;
  HRESULT STDMETHODCALLTYPE SetStunServer(BSTR bstrStunServerAddress,
                                          LONG lStunServerPort) override;
  HRESULT STDMETHODCALLTYPE IsMediaPossible(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE IsBehindNat(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE IsBehindFirewall(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE put_UseHeartbeat(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE put_NatHeartbeatInterval(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE put_T1(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_T1(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_T2(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_T2(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_T4(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_T4(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_ConnectionType(CT_CONNECTION_TYPE* pVal) override;
  HRESULT STDMETHODCALLTYPE put_ConnectionType(CT_CONNECTION_TYPE newVal) override;
  HRESULT STDMETHODCALLTYPE get_AudioTosValue(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_AudioTosValue(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_VideoTosValue(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_VideoTosValue(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_IsConnected(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE put_UpnpEnabled(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE put_UseBWCustCodecSel(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE put_UseRPortForNatTraversal(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE put_PreferredSipPort(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_PreferredAudioRtpPort(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_PreferredAudioRtpPort(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_PreferredVideoRtpPort(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_PreferredVideoRtpPort(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_PreferredMSRPPort(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_PreferredMSRPPort(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE put_VoiceMessagingEnabled(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE ResetVideoParameters() override;
  HRESULT STDMETHODCALLTYPE GetVideoParameters(CT_IMAGE_RESOLUTION imageResolution,
                                               VARIANT_BOOL* pvbEnabled, LONG* plBitRate,
                                               LONG* plFrameRate, LONG* plIntraFrameFrequency,
                                               LONG* plIntraGob, LONG* plFilter,
                                               VARIANT_BOOL* pvbHorizontalFilter,
                                               VARIANT_BOOL* pvbVerticalFilter) override;
  HRESULT STDMETHODCALLTYPE SetVideoParameters(CT_IMAGE_RESOLUTION imageResolution,
                                               VARIANT_BOOL vbEnabled, LONG lBitRate,
                                               LONG lFrameRate, LONG lIntraFrameFrequency,
                                               LONG lIntraGob, LONG lFilter,
                                               VARIANT_BOOL vbHorizontalFilter,
                                               VARIANT_BOOL vbVerticalFilter) override;
  HRESULT STDMETHODCALLTYPE put_NetDetectionEnabled(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE put_SipDnsServer(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE get_PresenceType(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_PresenceType(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE put_SMSEnabled(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE get_SMSEnabled(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE get_UserAgent(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_UserAgent(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE get_AdvLoginEnabled(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE put_AdvLoginEnabled(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE get_VoiceEngine(LONG** pVal) override;
  HRESULT STDMETHODCALLTYPE put_VoiceEngine(LONG* newVal) override;
  HRESULT STDMETHODCALLTYPE get_LastAudioChannel(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_LastAudioChannel(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_UseAudioVideoSynchronization(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_UseAudioVideoSynchronization(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_SessionExpireTime(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_SessionExpireTime(LONG newVal) override;

 private:
  ReferenceNetwork();
  ~ReferenceNetwork() = default;

  template <class T>
  HRESULT Read(std::string_view member, const T& value, T* out);
  template <class T>
  HRESULT Write(std::string_view member, T& field, T value);
  HRESULT ReadText(std::string_view member, const platform::OleString& value, BSTR* out);
  HRESULT WriteText(std::string_view member, platform::OleString& field, BSTR value);

  RefCount refs_;
  HostCallRecorder calls_;
  NetworkSettings settings_;
};

}  // namespace host
