// The media-level members of SdpDocument: m= lines and their sections.
#include "host/sdp_com_values.h"
#include "host/sdp_document.h"
#include "host/sdp_parser.h"
#include "platform/bstr.h"

namespace host {

using platform::OleString;
using platform::OleStringView;

namespace {

bool IsPort(LONG port) { return port >= 0 && port <= 65535; }

// The format list as the parser would store it: fields joined by single spaces.
HRESULT CleanFormatList(BSTR value, OleString* out) {
  OleStringView text = platform::BstrView(value);
  if (!IsSdpLineText(text)) return E_INVALIDARG;
  out->clear();
  out->reserve(text.size());
  ForEachSdpField(text, [&](OleStringView field) {
    if (!out->empty()) *out += ' ';
    out->append(field);
  });
  return S_OK;
}

// The media word to write for `type` on a line that now reads `current`:
// the current spelling when the type does not change, else the type's word.
// False for a type outside the enumeration, and for CT_MEDIA_UNKNOWN unless
// the line already carries a word of unknown type.
bool ChooseMediaWord(CT_MEDIA_TYPE type, OleStringView current, OleString* word) {
  if (!current.empty() && MediaTypeFromWord(current) == type) {
    word->assign(current);
    return true;
  }
  OleStringView known = MediaWordFor(type);
  if (known.empty()) return false;
  word->assign(known);
  return true;
}

}  // namespace

HRESULT SdpDocument::get_MediaCount(LONG* pVal) {
  return Run("get_MediaCount", [&] {
    if (!pVal) return E_POINTER;
    *pVal = ToLong(session_.media.size());
    return S_OK;
  });
}

HRESULT SdpDocument::GetMedia(LONG lMediaIndex, CT_MEDIA_TYPE* pMedia, LONG* plPort,
                              BSTR* pbstrTransport, BSTR* pbstrFormatList) {
  return Run("GetMedia", [&] {
    if (!ClearOutputs(pMedia, plPort, pbstrTransport, pbstrFormatList)) return E_POINTER;
    const SdpMedia* media = MediaAt(lMediaIndex);
    if (!media) return E_INVALIDARG;
    OleStringView texts[2] = {media->transport, media->formats};
    BSTR* const outs[2] = {pbstrTransport, pbstrFormatList};
    HRESULT hr = CopyAllToBstrs(texts, outs, 2);
    if (FAILED(hr)) return hr;
    *pMedia = MediaTypeFromWord(media->media);
    *plPort = media->port;
    return S_OK;
  });
}

HRESULT SdpDocument::PutMedia(LONG lMediaIndex, CT_MEDIA_TYPE media, LONG lPort, BSTR bstrTransport,
                              BSTR bstrFormatList) {
  return Run("PutMedia", [&] {
    SdpMedia* line = MediaAt(lMediaIndex);
    if (!line || !IsPort(lPort)) return E_INVALIDARG;
    OleString word, transport, formats;
    if (!ChooseMediaWord(media, line->media, &word)) return E_INVALIDARG;
    HRESULT hr = CleanToken(bstrTransport, &transport);
    if (SUCCEEDED(hr)) hr = CleanFormatList(bstrFormatList, &formats);
    if (FAILED(hr)) return hr;
    // The rest of the section, and a "/count" after the port, stay.
    line->media = std::move(word);
    line->port = lPort;
    line->transport = std::move(transport);
    line->formats = std::move(formats);
    return S_OK;
  });
}

HRESULT SdpDocument::AddMedia(CT_MEDIA_TYPE media, LONG lPort, BSTR bstrTransport,
                              BSTR bstrFormatList, LONG* plMediaIndex) {
  return Run("AddMedia", [&] {
    if (!ClearOutputs(plMediaIndex)) return E_POINTER;
    SdpMedia line;
    if (!IsPort(lPort) || !ChooseMediaWord(media, {}, &line.media)) return E_INVALIDARG;
    HRESULT hr = CleanToken(bstrTransport, &line.transport);
    if (SUCCEEDED(hr)) hr = CleanFormatList(bstrFormatList, &line.formats);
    if (FAILED(hr)) return hr;
    line.port = lPort;
    session_.media.push_back(std::move(line));
    *plMediaIndex = ToLong(session_.media.size() - 1);
    return S_OK;
  });
}

HRESULT SdpDocument::GetMediaInformation(LONG lMediaIndex, BSTR* pVal) {
  return Run("GetMediaInformation", [&] {
    if (!ClearOutputs(pVal)) return E_POINTER;
    const SdpMedia* media = MediaAt(lMediaIndex);
    return media ? ReadOptionalText(media->information, pVal) : E_INVALIDARG;
  });
}

HRESULT SdpDocument::PutMediaInformation(LONG lMediaIndex, BSTR newVal) {
  return Run("PutMediaInformation", [&] {
    SdpMedia* media = MediaAt(lMediaIndex);
    return media ? WriteOptionalText(media->information, newVal) : E_INVALIDARG;
  });
}

HRESULT SdpDocument::GetMediaConnection(LONG lMediaIndex, BSTR* pbstrNetworkType,
                                        BSTR* pbstrAddressType, BSTR* pbstrAddress) {
  return Run("GetMediaConnection", [&] {
    if (!ClearOutputs(pbstrNetworkType, pbstrAddressType, pbstrAddress)) return E_POINTER;
    const SdpMedia* media = MediaAt(lMediaIndex);
    if (!media) return E_INVALIDARG;
    return ReadConnection(media->connection, pbstrNetworkType, pbstrAddressType, pbstrAddress);
  });
}

HRESULT SdpDocument::PutMediaConnection(LONG lMediaIndex, BSTR bstrNetworkType,
                                        BSTR bstrAddressType, BSTR bstrAddress) {
  return Run("PutMediaConnection", [&] {
    SdpMedia* media = MediaAt(lMediaIndex);
    if (!media) return E_INVALIDARG;
    return WriteConnection(media->connection, bstrNetworkType, bstrAddressType, bstrAddress);
  });
}

HRESULT SdpDocument::GetMediaBandwidthInformation(LONG lMediaIndex, BSTR* pVal) {
  return Run("GetMediaBandwidthInformation", [&] {
    if (!ClearOutputs(pVal)) return E_POINTER;
    const SdpMedia* media = MediaAt(lMediaIndex);
    return media ? ReadFirstText(media->bandwidths, pVal) : E_INVALIDARG;
  });
}

HRESULT SdpDocument::PutMediaBandwidthInformation(LONG lMediaIndex, BSTR newVal) {
  return Run("PutMediaBandwidthInformation", [&] {
    SdpMedia* media = MediaAt(lMediaIndex);
    return media ? WriteOnlyText(media->bandwidths, newVal) : E_INVALIDARG;
  });
}

HRESULT SdpDocument::GetMediaEncryptionKey(LONG lMediaIndex, BSTR* pVal) {
  return Run("GetMediaEncryptionKey", [&] {
    if (!ClearOutputs(pVal)) return E_POINTER;
    const SdpMedia* media = MediaAt(lMediaIndex);
    return media ? ReadOptionalText(media->encryption_key, pVal) : E_INVALIDARG;
  });
}

HRESULT SdpDocument::PutMediaEncryptionKey(LONG lMediaIndex, BSTR newVal) {
  return Run("PutMediaEncryptionKey", [&] {
    SdpMedia* media = MediaAt(lMediaIndex);
    return media ? WriteOptionalText(media->encryption_key, newVal) : E_INVALIDARG;
  });
}

HRESULT SdpDocument::GetMediaAttributeCount(LONG lMediaIndex, LONG* pVal) {
  return Run("GetMediaAttributeCount", [&] {
    if (!ClearOutputs(pVal)) return E_POINTER;
    const SdpMedia* media = MediaAt(lMediaIndex);
    if (!media) return E_INVALIDARG;
    *pVal = ToLong(media->attributes.size());
    return S_OK;
  });
}

HRESULT SdpDocument::GetMediaAttribute(LONG lMediaIndex, LONG lAttributeIndex, BSTR* pVal) {
  return Run("GetMediaAttribute", [&] {
    if (!ClearOutputs(pVal)) return E_POINTER;
    const SdpMedia* media = MediaAt(lMediaIndex);
    if (!media || lAttributeIndex < 0 ||
        static_cast<size_t>(lAttributeIndex) >= media->attributes.size())
      return E_INVALIDARG;
    return CopyToBstr(media->attributes[static_cast<size_t>(lAttributeIndex)], pVal);
  });
}

HRESULT SdpDocument::AddMediaAttribute(LONG lMediaIndex, BSTR bstrAttribute) {
  return Run("AddMediaAttribute", [&] {
    SdpMedia* media = MediaAt(lMediaIndex);
    return media ? AppendAttribute(media->attributes, bstrAttribute) : E_INVALIDARG;
  });
}

}  // namespace host
