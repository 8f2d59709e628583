// One SDP session description held in memory and served through
// ISdpContent, as a softphone host hands its offers and answers to the
// component. Documents are read from SDP text with Parse and written back
// with Print; CreateOutgoing starts a new offer or answer.
//
// Every member of ISdpContent works on the SdpSession inside. Getters of a
// line that is absent answer S_OK with empty text; putting empty text
// removes the line. Of lines that may repeat (b=, e=, p=) the getter reads
// the first and the put replaces them all. GetMedia maps the media word to
// CT_MEDIA_TYPE and the word stays as written; PutMedia keeps the word while
// the type does not change and always keeps a "/count" after the port;
// AddMedia and PutMedia refuse CT_MEDIA_UNKNOWN for a line without a word
// of its own. A media, time or attribute index below 0 or past the last
// entry gives E_INVALIDARG; a null out-pointer E_POINTER; text that would
// not read back (control characters, spaces inside a field, an empty
// attribute) E_INVALIDARG. Tests make members fail with SimulateError.
// Used on the host's apartment thread; only the reference count is atomic.
// The factories throw std::bad_alloc when memory runs out; the COM members
// answer E_OUTOFMEMORY instead.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "host/com_support.h"
#include "host/host_call_recorder.h"
#include "host/parse_result.h"
#include "host/sdp_session.h"
#include "medley/host_interfaces.h"
#include "platform/com_ptr.h"

namespace host {

class SdpDocument;
using SdpDocumentParseResult = ParseResult<platform::ComPtr<SdpDocument>>;

class SdpDocument final : public ISdpContent {
 public:
  // A document holding only "v=0".
  static platform::ComPtr<SdpDocument> Create();
  static platform::ComPtr<SdpDocument> FromSession(SdpSession session);
  // A new outgoing description for the local `address` (see OutgoingSession).
  static platform::ComPtr<SdpDocument> CreateOutgoing(std::string_view address,
                                                      std::uint64_t session_id,
                                                      std::uint64_t version);
  // As above with session id and version taken from the clock (seconds in
  // the NTP era, as RFC 4566 suggests).
  static platform::ComPtr<SdpDocument> CreateOutgoing(std::string_view address);

  // Reads SDP text (see sdp_parser.h for what is accepted and refused).
  static SdpDocumentParseResult Parse(std::string_view utf8_text);
  static SdpDocumentParseResult Parse(platform::OleStringView text);

  // The description as text in RFC 4566 order with CRLF line ends.
  std::string Print() const;
  platform::OleString PrintWide() const;

  const SdpSession& Session() const { return session_; }
  SdpSession& MutableSession() { return session_; }

  SdpDocument(const SdpDocument&) = delete;
  SdpDocument& operator=(const SdpDocument&) = delete;

  // The names of the ISdpContent members in slot order, starting at slot 3.
  static std::span<const char* const> MemberNames();

  // `member` (a name from MemberNames(), e.g. "GetMedia") answers `code`
  // from now on, after `successes_first` calls that still succeed.
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

  // ISdpContent, session level
  HRESULT STDMETHODCALLTYPE get_ProtocolVersion(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_ProtocolVersion(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE GetOrigin(BSTR* pbstrUserName, BSTR* pbstrSessionId, BSTR* pbstrVersion,
                                      BSTR* pbstrNetworkType, BSTR* pbstrAddressType,
                                      BSTR* pbstrAddress) override;
  HRESULT STDMETHODCALLTYPE PutOrigin(BSTR bstrUserName, BSTR bstrSessionId, BSTR bstrVersion,
                                      BSTR bstrNetworkType, BSTR bstrAddressType,
                                      BSTR bstrAddress) override;
  HRESULT STDMETHODCALLTYPE get_SessionName(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_SessionName(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE get_SessionInformation(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_SessionInformation(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE get_DescriptionUri(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_DescriptionUri(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE get_Email(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_Email(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE get_Phone(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_Phone(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE GetConnection(BSTR* pbstrNetworkType, BSTR* pbstrAddressType,
                                          BSTR* pbstrAddress) override;
  HRESULT STDMETHODCALLTYPE PutConnection(BSTR bstrNetworkType, BSTR bstrAddressType,
                                          BSTR bstrAddress) override;
  HRESULT STDMETHODCALLTYPE get_BandwidthInformation(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_BandwidthInformation(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE get_TimeDescriptionCount(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE GetTimeInformation(LONG lTimeDescriptionIndex,
                                               BSTR* pbstrTimeInformation,
                                               LONG* plRepeatTimeCount) override;
  HRESULT STDMETHODCALLTYPE AddTimeInformation(BSTR bstrTimeInformation,
                                               LONG* plTimeDescriptionIndex) override;
  HRESULT STDMETHODCALLTYPE GetRepeatTimeCount(LONG lTimeDescriptionIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE GetRepeatTimeInformation(LONG lTimeDescriptionIndex,
                                                     LONG lRepeatTimeDescriptionIndex,
                                                     BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE AddRepeatTimeInformation(LONG lTimeDescriptionIndex,
                                                     BSTR bstrRepeatTimeInformation) override;
  HRESULT STDMETHODCALLTYPE get_TimeZoneAdjustments(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_TimeZoneAdjustments(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE get_EncryptionKey(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_EncryptionKey(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE get_AttributeCount(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE GetAttribute(LONG lAttributeIndex, BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE AddAttribute(BSTR bstrAttribute) override;

  // ISdpContent, media level (sdp_document_media.cpp)
  HRESULT STDMETHODCALLTYPE get_MediaCount(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE GetMedia(LONG lMediaIndex, CT_MEDIA_TYPE* pMedia, LONG* plPort,
                                     BSTR* pbstrTransport, BSTR* pbstrFormatList) override;
  HRESULT STDMETHODCALLTYPE PutMedia(LONG lMediaIndex, CT_MEDIA_TYPE media, LONG lPort,
                                     BSTR bstrTransport, BSTR bstrFormatList) override;
  HRESULT STDMETHODCALLTYPE AddMedia(CT_MEDIA_TYPE media, LONG lPort, BSTR bstrTransport,
                                     BSTR bstrFormatList, LONG* plMediaIndex) override;
  HRESULT STDMETHODCALLTYPE GetMediaInformation(LONG lMediaIndex, BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE PutMediaInformation(LONG lMediaIndex, BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE GetMediaConnection(LONG lMediaIndex, BSTR* pbstrNetworkType,
                                               BSTR* pbstrAddressType, BSTR* pbstrAddress) override;
  HRESULT STDMETHODCALLTYPE PutMediaConnection(LONG lMediaIndex, BSTR bstrNetworkType,
                                               BSTR bstrAddressType, BSTR bstrAddress) override;
  HRESULT STDMETHODCALLTYPE GetMediaBandwidthInformation(LONG lMediaIndex, BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE PutMediaBandwidthInformation(LONG lMediaIndex, BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE GetMediaEncryptionKey(LONG lMediaIndex, BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE PutMediaEncryptionKey(LONG lMediaIndex, BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE GetMediaAttributeCount(LONG lMediaIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE GetMediaAttribute(LONG lMediaIndex, LONG lAttributeIndex,
                                              BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE AddMediaAttribute(LONG lMediaIndex, BSTR bstrAttribute) override;

 private:
  explicit SdpDocument(SdpSession session);
  ~SdpDocument() = default;

  // The media section at `index`, or null when there is none.
  SdpMedia* MediaAt(LONG index);
  SdpTimeDescription* TimeAt(LONG index);
  // Records the call of `member`, then runs `body` under the exception guard
  // unless a test made the member fail.
  template <class Body>
  HRESULT Run(std::string_view member, Body&& body) {
    HRESULT hr = calls_.Enter(member);
    if (hr != S_OK) return hr;
    return GuardComCall(body);
  }

  RefCount refs_;
  HostCallRecorder calls_;
  SdpSession session_;
};

}  // namespace host
