#include "host/reference_media_state.h"

namespace host {

namespace {

constexpr const char* kMemberNames[] = {
    "get_ChannelId",  "get_AnyCommonFormat", "get_LocalMediaDirection", "get_AnswerMediaDirection",
    "get_Terminated",
};

}  // namespace

platform::ComPtr<ReferenceMediaState> ReferenceMediaState::Create() {
  return platform::ComPtr<ReferenceMediaState>::Adopt(new ReferenceMediaState());
}

ReferenceMediaState::ReferenceMediaState() : calls_(MemberTableOf<kMemberNames>()) {}

std::span<const char* const> ReferenceMediaState::MemberNames() { return kMemberNames; }

HRESULT ReferenceMediaState::QueryInterface(REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMediaState)) {
    // IUnknown is always answered by the first interface, so that comparing
    // IUnknown pointers tells whether two pointers reach the same object.
    *ppvObject = static_cast<IMediaState*>(this);
  } else if (IsEqualIID(riid, IID_IMediaState2)) {
    *ppvObject = static_cast<IMediaState2*>(this);
  } else {
    *ppvObject = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG ReferenceMediaState::AddRef() { return refs_.Increment(); }

ULONG ReferenceMediaState::Release() {
  ULONG remaining = refs_.Decrement();
  if (remaining == 0) delete this;
  return remaining;
}

template <class T>
HRESULT ReferenceMediaState::Read(std::string_view member, T value, T* out) {
  HRESULT hr = calls_.Enter(member);
  if (hr != S_OK) return hr;
  if (!out) return E_POINTER;
  *out = value;
  return S_OK;
}

HRESULT ReferenceMediaState::get_ChannelId(LONG* plChannelId) {
  return Read("get_ChannelId", channel_id_, plChannelId);
}
HRESULT ReferenceMediaState::get_AnyCommonFormat(VARIANT_BOOL* pVal) {
  return Read("get_AnyCommonFormat", any_common_format_, pVal);
}
HRESULT ReferenceMediaState::get_LocalMediaDirection(CT_MEDIA_DIRECTION* pVal) {
  return Read("get_LocalMediaDirection", local_direction_, pVal);
}
HRESULT ReferenceMediaState::get_AnswerMediaDirection(CT_MEDIA_DIRECTION* pVal) {
  return Read("get_AnswerMediaDirection", answer_direction_, pVal);
}
HRESULT ReferenceMediaState::get_Terminated(VARIANT_BOOL* pVal) {
  return Read("get_Terminated", terminated_, pVal);
}

}  // namespace host
