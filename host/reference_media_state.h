// The state of one media line of a call, as a softphone host keeps it: one
// COM object answering both IMediaState and IMediaState2. A fresh state has
// no channel (-1), no common format, send-receive in both directions and is
// not terminated; tests change the fields with the setters.
// Used on the host's apartment thread; only the reference count is atomic.
#pragma once

#include <span>
#include <string_view>

#include "host/com_support.h"
#include "host/host_call_recorder.h"
#include "medley/host_interfaces.h"
#include "platform/com_ptr.h"

namespace host {

class ReferenceMediaState final : public IMediaState, public IMediaState2 {
 public:
  static platform::ComPtr<ReferenceMediaState> Create();

  ReferenceMediaState(const ReferenceMediaState&) = delete;
  ReferenceMediaState& operator=(const ReferenceMediaState&) = delete;

  // The object as each of its interfaces (borrowed; no reference taken).
  IMediaState* AsMediaState() { return this; }
  IMediaState2* AsMediaState2() { return this; }

  // The values are handed out as they are set, without checks, so that tests
  // can also present values a host should not send.
  void SetChannelId(LONG channel_id) { channel_id_ = channel_id; }
  void SetAnyCommonFormat(VARIANT_BOOL any_common_format) {
    any_common_format_ = any_common_format;
  }
  void SetLocalMediaDirection(CT_MEDIA_DIRECTION direction) { local_direction_ = direction; }
  void SetAnswerMediaDirection(CT_MEDIA_DIRECTION direction) { answer_direction_ = direction; }
  void SetTerminated(VARIANT_BOOL terminated) { terminated_ = terminated; }

  // The member names both interfaces share and get_AnswerMediaDirection.
  static std::span<const char* const> MemberNames();

  // `member` (a name from MemberNames(), e.g. "get_ChannelId") answers
  // `code` from now on, through either interface, after `successes_first`
  // calls that still succeed.
  void SimulateError(std::string_view member, HRESULT code, int successes_first = 0) {
    calls_.SimulateError(member, code, successes_first);
  }
  int CallCount(std::string_view member) const { return calls_.CallCount(member); }
  int TotalCallCount() const { return calls_.TotalCallCount(); }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IMediaState and IMediaState2
  HRESULT STDMETHODCALLTYPE get_ChannelId(LONG* plChannelId) override;
  HRESULT STDMETHODCALLTYPE get_AnyCommonFormat(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE get_LocalMediaDirection(CT_MEDIA_DIRECTION* pVal) override;
  HRESULT STDMETHODCALLTYPE get_Terminated(VARIANT_BOOL* pVal) override;
  // IMediaState2 only
  HRESULT STDMETHODCALLTYPE get_AnswerMediaDirection(CT_MEDIA_DIRECTION* pVal) override;

 private:
  ReferenceMediaState();
  ~ReferenceMediaState() = default;

  template <class T>
  HRESULT Read(std::string_view member, T value, T* out);

  RefCount refs_;
  HostCallRecorder calls_;
  LONG channel_id_ = -1;
  VARIANT_BOOL any_common_format_ = VARIANT_FALSE;
  CT_MEDIA_DIRECTION local_direction_ = CT_MEDIA_SENDRECV;
  CT_MEDIA_DIRECTION answer_direction_ = CT_MEDIA_SENDRECV;
  VARIANT_BOOL terminated_ = VARIANT_FALSE;
};

}  // namespace host
