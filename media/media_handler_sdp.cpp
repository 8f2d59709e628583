// CMediaHandlerImpl: reading media lines of SDP documents — attribute
// values, rtpmap records, the formats of a line, the packet time and the
// peer's RTP address.
#include <algorithm>
#include <cstdint>
#include <unordered_map>

#include "media/media_handler_impl.h"
#include "media/sdp_text.h"
#include "media/static_payload_types.h"
#include "media/video_format_parameters.h"
#include "platform/bstr.h"
#include "sip/address_utilities.h"

using platform::BString;
using platform::OleString;
using platform::OleStringView;

namespace {

constexpr OleStringView kRtpmap = MEDLEY_OLESTR("rtpmap");
constexpr OleStringView kFmtp = MEDLEY_OLESTR("fmtp");
constexpr OleStringView kVideoResolution = MEDLEY_OLESTR("video-resolution");
constexpr OleStringView kPtime = MEDLEY_OLESTR("ptime");
constexpr OleStringView kAlternativeAddress = MEDLEY_OLESTR("X-alt");
constexpr std::uint32_t kDefaultH263Number = 34;

// One attribute as read from the host, with the position of its first colon.
struct Attribute {
  BString text;
  size_t colon = OleStringView::npos;
};

// Whether `attribute` is an attribute `name`, and its value. With a colon at
// position p, the attribute's first p characters must equal the first p
// characters of `name` (letter case ignored); without a colon the whole
// texts must be equal and the value is the whole text.
bool AttributeMatches(const Attribute& attribute, OleStringView name, OleStringView* value) {
  OleStringView text = attribute.text.View();
  if (attribute.colon == OleStringView::npos) {
    if (!platform::WideEqualsNoCase(text, name)) return false;
    *value = text;
    return true;
  }
  size_t p = attribute.colon;
  if (name.size() < p || !platform::WideEqualsNoCase(text.substr(0, p), name.substr(0, p)))
    return false;
  *value = text.substr(p + 1);
  return true;
}

// The attributes of one media line and of its session, each read from the
// host once, on first use, so that one operation can look up several names.
// The values handed out are views into the attributes the reader holds.
class AttributeReader {
 public:
  AttributeReader(ISdpContent* sdp, LONG mediaIndex) : sdp_(sdp), mediaIndex_(mediaIndex) {}

  HRESULT Values(OleStringView name, std::vector<OleStringView>* values) {
    values->clear();
    HRESULT hr = ReadMedia();
    if (FAILED(hr)) return hr;
    Collect(media_, name, values);
    if (!values->empty()) return S_OK;
    hr = ReadSession();
    if (FAILED(hr)) return hr;
    Collect(session_, name, values);
    return S_OK;
  }

 private:
  // Counts from the host are only a hint for reserving room.
  static constexpr LONG kReserveLimit = 1024;

  static void Collect(const std::vector<Attribute>& attributes, OleStringView name,
                      std::vector<OleStringView>* values) {
    values->reserve(attributes.size());
    OleStringView value;
    for (const Attribute& attribute : attributes)
      if (AttributeMatches(attribute, name, &value)) values->push_back(value);
  }

  static void Keep(BString text, std::vector<Attribute>* attributes) {
    size_t colon = text.View().find(':');
    attributes->push_back(Attribute{std::move(text), colon});
  }

  HRESULT ReadMedia() {
    if (mediaRead_) return S_OK;
    LONG count = 0;
    HRESULT hr = sdp_->GetMediaAttributeCount(mediaIndex_, &count);
    if (FAILED(hr)) return hr;
    media_.reserve(static_cast<size_t>(std::clamp<LONG>(count, 0, kReserveLimit)));
    for (LONG i = 0; i < count; ++i) {
      BString attribute;
      hr = sdp_->GetMediaAttribute(mediaIndex_, i, attribute.Receive());
      if (FAILED(hr)) return hr;
      Keep(std::move(attribute), &media_);
    }
    mediaRead_ = true;
    return S_OK;
  }

  HRESULT ReadSession() {
    if (sessionRead_) return S_OK;
    LONG count = 0;
    HRESULT hr = sdp_->get_AttributeCount(&count);
    if (FAILED(hr)) return hr;
    session_.reserve(static_cast<size_t>(std::clamp<LONG>(count, 0, kReserveLimit)));
    for (LONG i = 0; i < count; ++i) {
      BString attribute;
      hr = sdp_->GetAttribute(i, attribute.Receive());
      if (FAILED(hr)) return hr;
      Keep(std::move(attribute), &session_);
    }
    sessionRead_ = true;
    return S_OK;
  }

  ISdpContent* sdp_;
  LONG mediaIndex_;
  bool mediaRead_ = false;
  bool sessionRead_ = false;
  std::vector<Attribute> media_;
  std::vector<Attribute> session_;
};

// "<number> <name>/<clock rate>[/<channels>]". False when the value does not
// start with a payload number; a missing clock rate reads 0, a missing
// channel count 1.
bool ParseRtpmap(OleStringView value, PayloadType* format) {
  size_t i = 0;
  std::uint32_t number = 0;
  if (!media::ReadUnsigned(value, &i, &number)) return false;
  while (i < value.size() && platform::IsWideSpace(value[i])) ++i;
  size_t slash = std::min(value.find('/', i), value.size());
  *format = PayloadType(0, value.substr(i, slash - i), kMediaKindAudio, 0, 1);
  format->SetNumber(number);
  i = slash < value.size() ? slash + 1 : slash;
  if (!media::ReadSigned(value, &i, &format->clockRate)) return true;
  if (i < value.size()) ++i;  // the separator before the channel count
  media::ReadSigned(value, &i, &format->channels);
  return true;
}

PayloadType DefaultH263() {
  PayloadType format(static_cast<LONG>(kDefaultH263Number), MEDLEY_OLESTR("H263"), kMediaKindVideo,
                     90000, 1);
  format.videoSizes.push_back(media::SizeFromVideoResolution(MEDLEY_OLESTR("")));
  return format;
}

// The rtpmap records of media line `mediaIndex`, its media type and the
// payload numbers of its format list.
HRESULT ReadRtpmapAndFormatList(ISdpContent* sdp, LONG mediaIndex, PayloadTypeList* formats,
                                CT_MEDIA_TYPE* type, std::vector<std::uint32_t>* numbers) {
  formats->clear();
  AttributeReader attributes(sdp, mediaIndex);
  std::vector<OleStringView> rtpmaps, fmtps;
  HRESULT hr = attributes.Values(kRtpmap, &rtpmaps);
  if (SUCCEEDED(hr)) hr = attributes.Values(kFmtp, &fmtps);
  if (FAILED(hr)) return hr;
  std::vector<media::FormatParameterLine> parameterLines = media::SplitFormatParameterLines(fmtps);

  formats->reserve(rtpmaps.size() + 1);
  bool declares34 = false;
  for (OleStringView value : rtpmaps) {
    PayloadType format;
    if (!ParseRtpmap(value, &format)) continue;
    media::VideoFormat video;
    bool hasParameters = media::ReadVideoFormat(parameterLines, format.Number(), &video);
    if (!hasParameters && format.Number() == kDefaultH263Number) {
      std::vector<OleStringView> resolutions;
      hr = attributes.Values(kVideoResolution, &resolutions);
      if (FAILED(hr)) return hr;
      video.sizes.push_back(
          media::SizeFromVideoResolution(resolutions.empty() ? OleStringView() : resolutions[0]));
    }
    if (!video.sizes.empty()) {
      format.mediaKind = kMediaKindVideo;
      format.videoMaxBitRate = video.maxBitRate;
      format.videoSizes = std::move(video.sizes);
    }
    declares34 = declares34 || format.Number() == kDefaultH263Number;
    formats->push_back(std::move(format));
  }

  LONG port = 0;
  BString transport, formatList;
  hr = sdp->GetMedia(mediaIndex, type, &port, transport.Receive(), formatList.Receive());
  if (FAILED(hr)) return hr;
  *numbers = media::FormatListNumbers(formatList.View());
  if (!declares34 &&
      std::find(numbers->begin(), numbers->end(), kDefaultH263Number) != numbers->end())
    formats->push_back(DefaultH263());
  return S_OK;
}

// The formats of the line in format-list order (see GetRemoteFormats).
void MatchFormatList(const std::vector<std::uint32_t>& numbers, PayloadTypeList&& rtpmaps,
                     PayloadTypeList* formats) {
  formats->clear();
  formats->reserve(numbers.size());
  // A line may declare thousands of rtpmaps; index them when it does.
  constexpr size_t kIndexFrom = 32;
  std::unordered_map<std::uint32_t, size_t> firstRecord;
  if (rtpmaps.size() >= kIndexFrom) {
    firstRecord.reserve(rtpmaps.size());
    for (size_t i = 0; i < rtpmaps.size(); ++i) firstRecord.emplace(rtpmaps[i].Number(), i);
  }
  auto findRecord = [&](std::uint32_t number) -> PayloadType* {
    if (rtpmaps.size() >= kIndexFrom) {
      auto found = firstRecord.find(number);
      return found == firstRecord.end() ? nullptr : &rtpmaps[found->second];
    }
    for (PayloadType& record : rtpmaps)
      if (record.Number() == number) return &record;
    return nullptr;
  };
  for (auto it = numbers.begin(); it != numbers.end(); ++it) {
    PayloadType* record = findRecord(*it);
    if (!record) {
      if (IsStaticPayloadNumber(*it)) formats->push_back(StaticPayloadTypes()[*it]);
      continue;
    }
    // A short list may name a number twice; the record moves on its last use.
    bool lastUse =
        rtpmaps.size() < kIndexFrom && std::find(it + 1, numbers.end(), *it) == numbers.end();
    if (lastUse)
      formats->push_back(std::move(*record));
    else
      formats->push_back(*record);
  }
}

}  // namespace

HRESULT CMediaHandlerImpl::GetAttributeValues(ISdpContent* sdp, LONG mediaIndex, OleStringView name,
                                              std::vector<OleString>* values) {
  if (!sdp || !values) return E_POINTER;
  values->clear();
  AttributeReader reader(sdp, mediaIndex);
  std::vector<OleStringView> found;  // views into the reader's attributes
  HRESULT hr = reader.Values(name, &found);
  if (FAILED(hr)) return hr;
  values->assign(found.begin(), found.end());
  return S_OK;
}

HRESULT CMediaHandlerImpl::GetRtpmapPayloadTypes(ISdpContent* sdp, LONG mediaIndex,
                                                 PayloadTypeList* formats) {
  if (!sdp || !formats) return E_POINTER;
  CT_MEDIA_TYPE type = CT_MEDIA_UNKNOWN;
  std::vector<std::uint32_t> numbers;
  return ReadRtpmapAndFormatList(sdp, mediaIndex, formats, &type, &numbers);
}

HRESULT CMediaHandlerImpl::GetRemoteFormats(ISdpContent* sdp, LONG mediaIndex,
                                            PayloadTypeList* formats) {
  CT_MEDIA_TYPE type = CT_MEDIA_UNKNOWN;
  return ReadMediaLine(sdp, mediaIndex, &type, formats);
}

HRESULT CMediaHandlerImpl::ReadMediaLine(ISdpContent* sdp, LONG mediaIndex, CT_MEDIA_TYPE* type,
                                         PayloadTypeList* formats) {
  if (!sdp || !type || !formats) return E_POINTER;
  formats->clear();
  PayloadTypeList rtpmaps;
  std::vector<std::uint32_t> numbers;
  HRESULT hr = ReadRtpmapAndFormatList(sdp, mediaIndex, &rtpmaps, type, &numbers);
  if (FAILED(hr)) return hr;
  MatchFormatList(numbers, std::move(rtpmaps), formats);
  return S_OK;
}

HRESULT CMediaHandlerImpl::GetPacketTime(CT_MEDIA_TYPE mediaType, OleStringView codecName,
                                         ISdpContent* sdp, LONG mediaIndex, LONG* milliseconds) {
  if (!sdp || !milliseconds) return E_POINTER;
  std::vector<OleString> values;
  HRESULT hr = GetAttributeValues(sdp, mediaIndex, kPtime, &values);
  if (FAILED(hr)) return hr;
  std::uint32_t packetTime = 0;
  if (!values.empty() && sip::ParseUnsigned(values.front().c_str(), &packetTime)) {
    *milliseconds = static_cast<LONG>(packetTime);
    return S_OK;
  }
  return GetDefaultPacketTime(mediaType, codecName, milliseconds);
}

namespace {

struct AddressAndPort {
  OleString address;
  std::uint16_t port = 0;
};

// The address and port of each X-alt value ("<id> <q> <derived-from> <user>
// <password> <address> <port>").
std::vector<AddressAndPort> AlternativeAddresses(const std::vector<OleString>& values) {
  std::vector<AddressAndPort> pairs;
  for (const OleString& value : values) {
    OleString ignored[5];
    AddressAndPort pair;
    sip::SplitWordsAndPort(value, &ignored[0], &ignored[1], &ignored[2], &ignored[3], &ignored[4],
                           &pair.address, &pair.port);
    pairs.push_back(std::move(pair));
  }
  return pairs;
}

}  // namespace

HRESULT CMediaHandlerImpl::SelectSendAddress(ISdpContent* incomingSdp, ISdpContent* outgoingSdp,
                                             LONG mediaIndex, BSTR* address, std::uint16_t* port) {
  if (!incomingSdp || !outgoingSdp || !address || !port) return E_POINTER;
  std::vector<OleString> incomingValues, outgoingValues;
  HRESULT hr = GetAttributeValues(incomingSdp, mediaIndex, kAlternativeAddress, &incomingValues);
  if (SUCCEEDED(hr))
    hr = GetAttributeValues(outgoingSdp, mediaIndex, kAlternativeAddress, &outgoingValues);
  if (FAILED(hr)) return hr;
  std::vector<AddressAndPort> incoming = AlternativeAddresses(incomingValues);
  std::vector<AddressAndPort> outgoing = AlternativeAddresses(outgoingValues);

  BString networkType, addressType, connection;
  hr = incomingSdp->GetMediaConnection(mediaIndex, networkType.Receive(), addressType.Receive(),
                                       connection.Receive());
  if (FAILED(hr)) return hr;
  if (connection.View().empty()) {
    hr = incomingSdp->GetConnection(networkType.Receive(), addressType.Receive(),
                                    connection.Receive());
    if (FAILED(hr)) return hr;
  }
  CT_MEDIA_TYPE type = CT_MEDIA_AUDIO;
  LONG mediaPort = 0;
  BString transport, formatList;
  hr = incomingSdp->GetMedia(mediaIndex, &type, &mediaPort, transport.Receive(),
                             formatList.Receive());
  if (FAILED(hr)) return hr;

  AddressAndPort chosen{OleString(connection.View()), static_cast<std::uint16_t>(mediaPort)};
  bool listsConnection = std::any_of(incoming.begin(), incoming.end(), [&](const auto& pair) {
    return pair.address == connection.View() && LONG{pair.port} == mediaPort;
  });
  if (!incoming.empty() && !outgoing.empty() && listsConnection) {
    std::vector<const AddressAndPort*> notCommon;
    for (const AddressAndPort& pair : incoming) {
      bool common = std::any_of(outgoing.begin(), outgoing.end(),
                                [&](const auto& ours) { return ours.address == pair.address; });
      if (!common) notCommon.push_back(&pair);
    }
    if (notCommon.empty()) {
      BString local;
      hr = GetLocalAddress(local.Receive());
      if (FAILED(hr)) return hr;
      auto ours = std::find_if(incoming.begin(), incoming.end(),
                               [&](const auto& pair) { return pair.address == local.View(); });
      if (ours == incoming.end()) return E_FAIL;
      chosen = *ours;
    } else if (notCommon.size() == 1) {
      chosen = *notCommon.front();
    } else {
      auto isPublic = [](const AddressAndPort* pair) {
        return !sip::IsPrivateOrLinkLocal(pair->address);
      };
      auto found = std::find_if(notCommon.begin(), notCommon.end(), isPublic);
      chosen = found != notCommon.end() ? **found : *notCommon.front();
    }
  }

  BSTR text = platform::AllocBstr(chosen.address);
  if (!text) return E_OUTOFMEMORY;
  SysFreeString(*address);
  *address = text;
  *port = chosen.port;
  return S_OK;
}
