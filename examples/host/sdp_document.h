// One SDP session description as the host's ISdpContent: read from text,
// edited by the plug-in through the interface, printed back to text. It keeps
// the lines the plug-in works with (origin, session name, connection, time,
// attributes, media lines with their connection and attributes); the other
// members answer E_NOTIMPL.
#pragma once

#include <string>
#include <vector>

#include <medley/host_interfaces.h>

#include "com_object.h"

struct SdpConnection {
  std::string networkType, addressType, address;  // all empty when absent
};

struct SdpMediaLine {
  std::string media;  // "audio", "video", ...
  LONG port = 0;
  std::string transport, formats;
  SdpConnection connection;
  std::vector<std::string> attributes;  // without "a="
};

class SdpDocument : public ComObject<ISdpContent> {
 public:
  SdpDocument() : ComObject(IID_ISdpContent) {}

  // Reads SDP text (lines ending in CRLF or LF). Null with a reason in
  // *error when a line is not "x=value" or an "m=" line is malformed.
  static SdpDocument* Parse(const std::string& text, std::string* error);
  std::string Print() const;

  std::string origin = "- 0 0 IN IP4 0.0.0.0";
  std::string sessionName = "-";
  std::string time = "0 0";
  SdpConnection connection;
  std::vector<std::string> attributes;
  std::vector<SdpMediaLine> media;

  HRESULT STDMETHODCALLTYPE GetConnection(BSTR* networkType, BSTR* addressType,
                                          BSTR* address) override;
  HRESULT STDMETHODCALLTYPE PutConnection(BSTR networkType, BSTR addressType,
                                          BSTR address) override;
  HRESULT STDMETHODCALLTYPE get_AttributeCount(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE GetAttribute(LONG index, BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE AddAttribute(BSTR attribute) override;
  HRESULT STDMETHODCALLTYPE get_MediaCount(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE GetMedia(LONG index, CT_MEDIA_TYPE* type, LONG* port, BSTR* transport,
                                     BSTR* formats) override;
  HRESULT STDMETHODCALLTYPE PutMedia(LONG index, CT_MEDIA_TYPE type, LONG port, BSTR transport,
                                     BSTR formats) override;
  HRESULT STDMETHODCALLTYPE AddMedia(CT_MEDIA_TYPE type, LONG port, BSTR transport, BSTR formats,
                                     LONG* index) override;
  HRESULT STDMETHODCALLTYPE GetMediaConnection(LONG index, BSTR* networkType, BSTR* addressType,
                                               BSTR* address) override;
  HRESULT STDMETHODCALLTYPE PutMediaConnection(LONG index, BSTR networkType, BSTR addressType,
                                               BSTR address) override;
  HRESULT STDMETHODCALLTYPE GetMediaAttributeCount(LONG index, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE GetMediaAttribute(LONG index, LONG attribute, BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE AddMediaAttribute(LONG index, BSTR attribute) override;

#define NOT_USED(signature) \
  HRESULT STDMETHODCALLTYPE signature override { return E_NOTIMPL; }
  NOT_USED(get_ProtocolVersion(BSTR*))
  NOT_USED(put_ProtocolVersion(BSTR))
  NOT_USED(GetOrigin(BSTR*, BSTR*, BSTR*, BSTR*, BSTR*, BSTR*))
  NOT_USED(PutOrigin(BSTR, BSTR, BSTR, BSTR, BSTR, BSTR))
  NOT_USED(get_SessionName(BSTR*))
  NOT_USED(put_SessionName(BSTR))
  NOT_USED(get_SessionInformation(BSTR*))
  NOT_USED(put_SessionInformation(BSTR))
  NOT_USED(get_DescriptionUri(BSTR*))
  NOT_USED(put_DescriptionUri(BSTR))
  NOT_USED(get_Email(BSTR*))
  NOT_USED(put_Email(BSTR))
  NOT_USED(get_Phone(BSTR*))
  NOT_USED(put_Phone(BSTR))
  NOT_USED(get_BandwidthInformation(BSTR*))
  NOT_USED(put_BandwidthInformation(BSTR))
  NOT_USED(get_TimeDescriptionCount(LONG*))
  NOT_USED(GetTimeInformation(LONG, BSTR*, LONG*))
  NOT_USED(AddTimeInformation(BSTR, LONG*))
  NOT_USED(GetRepeatTimeCount(LONG, LONG*))
  NOT_USED(GetRepeatTimeInformation(LONG, LONG, BSTR*))
  NOT_USED(AddRepeatTimeInformation(LONG, BSTR))
  NOT_USED(get_TimeZoneAdjustments(BSTR*))
  NOT_USED(put_TimeZoneAdjustments(BSTR))
  NOT_USED(get_EncryptionKey(BSTR*))
  NOT_USED(put_EncryptionKey(BSTR))
  NOT_USED(GetMediaInformation(LONG, BSTR*))
  NOT_USED(PutMediaInformation(LONG, BSTR))
  NOT_USED(GetMediaBandwidthInformation(LONG, BSTR*))
  NOT_USED(PutMediaBandwidthInformation(LONG, BSTR))
  NOT_USED(GetMediaEncryptionKey(LONG, BSTR*))
  NOT_USED(PutMediaEncryptionKey(LONG, BSTR))
#undef NOT_USED

 private:
  SdpMediaLine* At(LONG index);
};

// The SDP word of a media type and back ("audio" is CT_MEDIA_AUDIO).
CT_MEDIA_TYPE MediaTypeOf(const std::string& word);
std::string MediaWordOf(CT_MEDIA_TYPE type);
