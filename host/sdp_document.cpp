#include "host/sdp_document.h"

#include <chrono>

#include "host/sdp_com_values.h"
#include "host/sdp_parser.h"
#include "host/sdp_printer.h"
#include "platform/bstr.h"

namespace host {

using platform::OleString;
using platform::OleStringView;

namespace {

constexpr const char* kMemberNames[] = {
    "get_ProtocolVersion",
    "put_ProtocolVersion",
    "GetOrigin",
    "PutOrigin",
    "get_SessionName",
    "put_SessionName",
    "get_SessionInformation",
    "put_SessionInformation",
    "get_DescriptionUri",
    "put_DescriptionUri",
    "get_Email",
    "put_Email",
    "get_Phone",
    "put_Phone",
    "GetConnection",
    "PutConnection",
    "get_BandwidthInformation",
    "put_BandwidthInformation",
    "get_TimeDescriptionCount",
    "GetTimeInformation",
    "AddTimeInformation",
    "GetRepeatTimeCount",
    "GetRepeatTimeInformation",
    "AddRepeatTimeInformation",
    "get_TimeZoneAdjustments",
    "put_TimeZoneAdjustments",
    "get_EncryptionKey",
    "put_EncryptionKey",
    "get_AttributeCount",
    "GetAttribute",
    "AddAttribute",
    "get_MediaCount",
    "GetMedia",
    "PutMedia",
    "AddMedia",
    "GetMediaInformation",
    "PutMediaInformation",
    "GetMediaConnection",
    "PutMediaConnection",
    "GetMediaBandwidthInformation",
    "PutMediaBandwidthInformation",
    "GetMediaEncryptionKey",
    "PutMediaEncryptionKey",
    "GetMediaAttributeCount",
    "GetMediaAttribute",
    "AddMediaAttribute",
};

// Seconds between 1900-01-01 (the NTP era) and 1970-01-01.
constexpr std::uint64_t kNtpEraOffset = 2208988800u;

SdpDocumentParseResult WrapParsed(SdpParseResult parsed) {
  if (!parsed) return SdpDocumentParseResult::Failure(parsed.ErrorMessage());
  return SdpDocumentParseResult::Success(SdpDocument::FromSession(std::move(parsed).Value()));
}

}  // namespace

platform::ComPtr<SdpDocument> SdpDocument::Create() { return FromSession(SdpSession()); }

platform::ComPtr<SdpDocument> SdpDocument::FromSession(SdpSession session) {
  return platform::ComPtr<SdpDocument>::Adopt(new SdpDocument(std::move(session)));
}

platform::ComPtr<SdpDocument> SdpDocument::CreateOutgoing(std::string_view address,
                                                          std::uint64_t session_id,
                                                          std::uint64_t version) {
  return FromSession(OutgoingSession(platform::NarrowToWide(address),
                                     platform::AsciiToWide(std::to_string(session_id)),
                                     platform::AsciiToWide(std::to_string(version))));
}

platform::ComPtr<SdpDocument> SdpDocument::CreateOutgoing(std::string_view address) {
  auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since_epoch).count();
  std::uint64_t id = static_cast<std::uint64_t>(seconds) + kNtpEraOffset;
  return CreateOutgoing(address, id, id);
}

SdpDocumentParseResult SdpDocument::Parse(std::string_view utf8_text) {
  return WrapParsed(ParseSdp(utf8_text));
}

SdpDocumentParseResult SdpDocument::Parse(OleStringView text) { return WrapParsed(ParseSdp(text)); }

std::string SdpDocument::Print() const { return PrintSdp(session_); }

OleString SdpDocument::PrintWide() const { return PrintSdpWide(session_); }

SdpDocument::SdpDocument(SdpSession session)
    : calls_(MemberTableOf<kMemberNames>()), session_(std::move(session)) {}

std::span<const char* const> SdpDocument::MemberNames() { return kMemberNames; }

HRESULT SdpDocument::QueryInterface(REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISdpContent)) {
    *ppvObject = static_cast<ISdpContent*>(this);
    AddRef();
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

ULONG SdpDocument::AddRef() { return refs_.Increment(); }

ULONG SdpDocument::Release() {
  ULONG remaining = refs_.Decrement();
  if (remaining == 0) delete this;
  return remaining;
}

SdpMedia* SdpDocument::MediaAt(LONG index) {
  if (index < 0 || static_cast<size_t>(index) >= session_.media.size()) return nullptr;
  return &session_.media[static_cast<size_t>(index)];
}

SdpTimeDescription* SdpDocument::TimeAt(LONG index) {
  if (index < 0 || static_cast<size_t>(index) >= session_.times.size()) return nullptr;
  return &session_.times[static_cast<size_t>(index)];
}

HRESULT SdpDocument::get_ProtocolVersion(BSTR* pVal) {
  return Run("get_ProtocolVersion", [&] { return CopyToBstr(session_.protocol_version, pVal); });
}

HRESULT SdpDocument::put_ProtocolVersion(BSTR newVal) {
  return Run("put_ProtocolVersion", [&] { return CleanText(newVal, &session_.protocol_version); });
}

HRESULT SdpDocument::GetOrigin(BSTR* pbstrUserName, BSTR* pbstrSessionId, BSTR* pbstrVersion,
                               BSTR* pbstrNetworkType, BSTR* pbstrAddressType, BSTR* pbstrAddress) {
  return Run("GetOrigin", [&] {
    OleStringView texts[6];
    if (const auto& o = session_.origin) {
      texts[0] = o->user_name;
      texts[1] = o->session_id;
      texts[2] = o->version;
      texts[3] = o->network_type;
      texts[4] = o->address_type;
      texts[5] = o->address;
    }
    BSTR* const outs[6] = {pbstrUserName,    pbstrSessionId,   pbstrVersion,
                           pbstrNetworkType, pbstrAddressType, pbstrAddress};
    return CopyAllToBstrs(texts, outs, 6);
  });
}

HRESULT SdpDocument::PutOrigin(BSTR bstrUserName, BSTR bstrSessionId, BSTR bstrVersion,
                               BSTR bstrNetworkType, BSTR bstrAddressType, BSTR bstrAddress) {
  return Run("PutOrigin", [&] {
    SdpOrigin origin;
    HRESULT hr = CleanToken(bstrUserName, &origin.user_name);
    if (SUCCEEDED(hr)) hr = CleanToken(bstrSessionId, &origin.session_id);
    if (SUCCEEDED(hr)) hr = CleanToken(bstrVersion, &origin.version);
    if (SUCCEEDED(hr)) hr = CleanToken(bstrNetworkType, &origin.network_type);
    if (SUCCEEDED(hr)) hr = CleanToken(bstrAddressType, &origin.address_type);
    if (SUCCEEDED(hr)) hr = CleanToken(bstrAddress, &origin.address);
    if (FAILED(hr)) return hr;
    session_.origin = std::move(origin);
    return S_OK;
  });
}

HRESULT SdpDocument::get_SessionName(BSTR* pVal) {
  return Run("get_SessionName", [&] { return ReadOptionalText(session_.session_name, pVal); });
}
HRESULT SdpDocument::put_SessionName(BSTR newVal) {
  return Run("put_SessionName", [&] { return WriteOptionalText(session_.session_name, newVal); });
}
HRESULT SdpDocument::get_SessionInformation(BSTR* pVal) {
  return Run("get_SessionInformation",
             [&] { return ReadOptionalText(session_.information, pVal); });
}
HRESULT SdpDocument::put_SessionInformation(BSTR newVal) {
  return Run("put_SessionInformation",
             [&] { return WriteOptionalText(session_.information, newVal); });
}
HRESULT SdpDocument::get_DescriptionUri(BSTR* pVal) {
  return Run("get_DescriptionUri", [&] { return ReadOptionalText(session_.uri, pVal); });
}
HRESULT SdpDocument::put_DescriptionUri(BSTR newVal) {
  return Run("put_DescriptionUri", [&] { return WriteOptionalText(session_.uri, newVal); });
}
HRESULT SdpDocument::get_Email(BSTR* pVal) {
  return Run("get_Email", [&] { return ReadFirstText(session_.emails, pVal); });
}
HRESULT SdpDocument::put_Email(BSTR newVal) {
  return Run("put_Email", [&] { return WriteOnlyText(session_.emails, newVal); });
}
HRESULT SdpDocument::get_Phone(BSTR* pVal) {
  return Run("get_Phone", [&] { return ReadFirstText(session_.phones, pVal); });
}
HRESULT SdpDocument::put_Phone(BSTR newVal) {
  return Run("put_Phone", [&] { return WriteOnlyText(session_.phones, newVal); });
}

HRESULT SdpDocument::GetConnection(BSTR* pbstrNetworkType, BSTR* pbstrAddressType,
                                   BSTR* pbstrAddress) {
  return Run("GetConnection", [&] {
    return ReadConnection(session_.connection, pbstrNetworkType, pbstrAddressType, pbstrAddress);
  });
}
HRESULT SdpDocument::PutConnection(BSTR bstrNetworkType, BSTR bstrAddressType, BSTR bstrAddress) {
  return Run("PutConnection", [&] {
    return WriteConnection(session_.connection, bstrNetworkType, bstrAddressType, bstrAddress);
  });
}

HRESULT SdpDocument::get_BandwidthInformation(BSTR* pVal) {
  return Run("get_BandwidthInformation", [&] { return ReadFirstText(session_.bandwidths, pVal); });
}
HRESULT SdpDocument::put_BandwidthInformation(BSTR newVal) {
  return Run("put_BandwidthInformation",
             [&] { return WriteOnlyText(session_.bandwidths, newVal); });
}

HRESULT SdpDocument::get_TimeDescriptionCount(LONG* pVal) {
  return Run("get_TimeDescriptionCount", [&] {
    if (!pVal) return E_POINTER;
    *pVal = ToLong(session_.times.size());
    return S_OK;
  });
}

HRESULT SdpDocument::GetTimeInformation(LONG lTimeDescriptionIndex, BSTR* pbstrTimeInformation,
                                        LONG* plRepeatTimeCount) {
  return Run("GetTimeInformation", [&] {
    if (!ClearOutputs(pbstrTimeInformation, plRepeatTimeCount)) return E_POINTER;
    const SdpTimeDescription* time = TimeAt(lTimeDescriptionIndex);
    if (!time) return E_INVALIDARG;
    *plRepeatTimeCount = ToLong(time->repeats.size());
    return CopyToBstr(time->time, pbstrTimeInformation);
  });
}

HRESULT SdpDocument::AddTimeInformation(BSTR bstrTimeInformation, LONG* plTimeDescriptionIndex) {
  return Run("AddTimeInformation", [&] {
    if (!ClearOutputs(plTimeDescriptionIndex)) return E_POINTER;
    OleString text;
    HRESULT hr = CleanText(bstrTimeInformation, &text);
    if (FAILED(hr)) return hr;
    if (SplitSdpFields(text).size() != 2) return E_INVALIDARG;
    session_.times.push_back(SdpTimeDescription{std::move(text), {}});
    *plTimeDescriptionIndex = ToLong(session_.times.size() - 1);
    return S_OK;
  });
}

HRESULT SdpDocument::GetRepeatTimeCount(LONG lTimeDescriptionIndex, LONG* pVal) {
  return Run("GetRepeatTimeCount", [&] {
    if (!ClearOutputs(pVal)) return E_POINTER;
    const SdpTimeDescription* time = TimeAt(lTimeDescriptionIndex);
    if (!time) return E_INVALIDARG;
    *pVal = ToLong(time->repeats.size());
    return S_OK;
  });
}

HRESULT SdpDocument::GetRepeatTimeInformation(LONG lTimeDescriptionIndex,
                                              LONG lRepeatTimeDescriptionIndex, BSTR* pVal) {
  return Run("GetRepeatTimeInformation", [&] {
    if (!ClearOutputs(pVal)) return E_POINTER;
    const SdpTimeDescription* time = TimeAt(lTimeDescriptionIndex);
    if (!time || lRepeatTimeDescriptionIndex < 0 ||
        static_cast<size_t>(lRepeatTimeDescriptionIndex) >= time->repeats.size())
      return E_INVALIDARG;
    return CopyToBstr(time->repeats[static_cast<size_t>(lRepeatTimeDescriptionIndex)], pVal);
  });
}

HRESULT SdpDocument::AddRepeatTimeInformation(LONG lTimeDescriptionIndex,
                                              BSTR bstrRepeatTimeInformation) {
  return Run("AddRepeatTimeInformation", [&] {
    SdpTimeDescription* time = TimeAt(lTimeDescriptionIndex);
    if (!time) return E_INVALIDARG;
    OleString text;
    HRESULT hr = CleanText(bstrRepeatTimeInformation, &text);
    if (FAILED(hr)) return hr;
    if (text.empty()) return E_INVALIDARG;
    time->repeats.push_back(std::move(text));
    return S_OK;
  });
}

HRESULT SdpDocument::get_TimeZoneAdjustments(BSTR* pVal) {
  return Run("get_TimeZoneAdjustments",
             [&] { return ReadOptionalText(session_.time_zones, pVal); });
}
HRESULT SdpDocument::put_TimeZoneAdjustments(BSTR newVal) {
  return Run("put_TimeZoneAdjustments",
             [&] { return WriteOptionalText(session_.time_zones, newVal); });
}
HRESULT SdpDocument::get_EncryptionKey(BSTR* pVal) {
  return Run("get_EncryptionKey", [&] { return ReadOptionalText(session_.encryption_key, pVal); });
}
HRESULT SdpDocument::put_EncryptionKey(BSTR newVal) {
  return Run("put_EncryptionKey",
             [&] { return WriteOptionalText(session_.encryption_key, newVal); });
}

HRESULT SdpDocument::get_AttributeCount(LONG* pVal) {
  return Run("get_AttributeCount", [&] {
    if (!pVal) return E_POINTER;
    *pVal = ToLong(session_.attributes.size());
    return S_OK;
  });
}

HRESULT SdpDocument::GetAttribute(LONG lAttributeIndex, BSTR* pVal) {
  return Run("GetAttribute", [&] {
    if (!ClearOutputs(pVal)) return E_POINTER;
    if (lAttributeIndex < 0 || static_cast<size_t>(lAttributeIndex) >= session_.attributes.size())
      return E_INVALIDARG;
    return CopyToBstr(session_.attributes[static_cast<size_t>(lAttributeIndex)], pVal);
  });
}

HRESULT SdpDocument::AddAttribute(BSTR bstrAttribute) {
  return Run("AddAttribute", [&] { return AppendAttribute(session_.attributes, bstrAttribute); });
}

}  // namespace host
