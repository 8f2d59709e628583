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

  // Reads the media line's attributes from the host, once.
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
  // How many attributes the media line has, once read.
  size_t MediaCount() const { return media_.size(); }

  // Calls `visit` with each value of the attributes `name` of the media
  // line or, when the line has none, of the session.
  template <class Visit>
  HRESULT ForEachValue(OleStringView name, Visit&& visit) {
    HRESULT hr = ReadMedia();
    if (FAILED(hr)) return hr;
    if (VisitMatches(media_, name, visit)) return S_OK;
    hr = ReadSession();
    if (FAILED(hr)) return hr;
    VisitMatches(session_, name, visit);
    return S_OK;
  }

 private:
  // Counts from the host are only a hint for reserving room.
  static constexpr LONG kReserveLimit = 1024;

  // True when some attribute matched.
  template <class Visit>
  static bool VisitMatches(const std::vector<Attribute>& attributes, OleStringView name,
                           Visit& visit) {
    bool any = false;
    OleStringView value;
    for (const Attribute& attribute : attributes) {
      if (!AttributeMatches(attribute, name, &value)) continue;
      any = true;
      visit(value);
    }
    return any;
  }

  static void Keep(BString text, std::vector<Attribute>* attributes) {
    size_t colon = text.View().find(':');
    attributes->push_back(Attribute{std::move(text), colon});
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

// The rest of an rtpmap value after its payload number, "<name>/<clock
// rate>[/<channels>]", into `format`; a missing clock rate reads 0, a
// missing channel count 1.
void ParseRtpmapRest(OleStringView value, size_t i, PayloadType* format) {
  while (i < value.size() && platform::IsWideSpace(value[i])) ++i;
  size_t slash = std::min(value.find('/', i), value.size());
  format->encodingName.assign(value.substr(i, slash - i));
  format->mediaKind = kMediaKindAudio;
  format->clockRate = 0;
  format->channels = 1;
  i = slash < value.size() ? slash + 1 : slash;
  if (!media::ReadSigned(value, &i, &format->clockRate)) return;
  if (i < value.size()) ++i;  // the separator before the channel count
  media::ReadSigned(value, &i, &format->channels);
}

PayloadType DefaultH263() {
  PayloadType format(static_cast<LONG>(kDefaultH263Number), MEDLEY_OLESTR("H263"), kMediaKindVideo,
                     90000, 1);
  format.videoSizes.push_back(media::SizeFromVideoResolution(MEDLEY_OLESTR("")));
  return format;
}

// One rtpmap attribute "<number> <name>/<clock rate>[/<channels>]": its
// payload number, its whole value and where the text after the number
// starts.
struct RtpmapRecord {
  std::uint32_t number = 0;
  OleStringView value;
  size_t rest = 0;
  // Where ReadMediaLine put the record's format first, so that a number the
  // format list repeats is copied instead of parsed again.
  size_t firstFormat = kNotPlaced;
  static constexpr size_t kNotPlaced = static_cast<size_t>(-1);
};

// What a media line says about its formats, read once: the rtpmap records
// in attribute order, the fmtp lines, the media type and the payload
// numbers of the format list. The views point into `attributes`.
struct MediaLineFormats {
  explicit MediaLineFormats(ISdpContent* sdp, LONG mediaIndex) : attributes(sdp, mediaIndex) {}

  AttributeReader attributes;
  std::vector<RtpmapRecord> rtpmaps;
  std::vector<media::FormatParameterLine> parameterLines;
  CT_MEDIA_TYPE type = CT_MEDIA_UNKNOWN;
  std::vector<std::uint32_t> numbers;
  bool declares34 = false;  // an rtpmap record for payload 34 exists

  // The default H.263 record stands for payload 34 when the format list
  // names it without an rtpmap record.
  bool NeedsDefaultH263() const {
    return !declares34 &&
           std::find(numbers.begin(), numbers.end(), kDefaultH263Number) != numbers.end();
  }
};

HRESULT ReadMediaLineFormats(ISdpContent* sdp, LONG mediaIndex, MediaLineFormats* line) {
  HRESULT hr = line->attributes.ReadMedia();
  if (FAILED(hr)) return hr;
  line->rtpmaps.reserve(line->attributes.MediaCount());
  line->parameterLines.reserve(line->attributes.MediaCount());
  hr = line->attributes.ForEachValue(kRtpmap, [&](OleStringView value) {
    size_t i = 0;
    std::uint32_t number = 0;
    if (!media::ReadUnsigned(value, &i, &number)) return;
    line->rtpmaps.push_back(RtpmapRecord{number, value, i, RtpmapRecord::kNotPlaced});
    line->declares34 = line->declares34 || number == kDefaultH263Number;
  });
  if (SUCCEEDED(hr))
    hr = line->attributes.ForEachValue(kFmtp, [&](OleStringView value) {
      media::FormatParameterLine parameters;
      if (media::ReadFormatParameterLine(value, &parameters))
        line->parameterLines.push_back(parameters);
    });
  if (FAILED(hr)) return hr;
  LONG port = 0;
  BString transport, formatList;
  hr = sdp->GetMedia(mediaIndex, &line->type, &port, transport.Receive(), formatList.Receive());
  if (FAILED(hr)) return hr;
  line->numbers = media::FormatListNumbers(formatList.View());
  return S_OK;
}

// The record of one rtpmap attribute, with its video sizes and bit rate when
// its fmtp parameters (or, for payload 34 without any, the video-resolution
// attribute) give sizes.
HRESULT FormatOfRtpmap(const RtpmapRecord& record, MediaLineFormats* line, PayloadType* format) {
  format->SetNumber(record.number);
  ParseRtpmapRest(record.value, record.rest, format);
  media::VideoFormat video;
  bool hasParameters = media::ReadVideoFormat(line->parameterLines, format->Number(), &video);
  if (!hasParameters && format->Number() == kDefaultH263Number) {
    OleStringView resolution;
    bool found = false;
    HRESULT hr = line->attributes.ForEachValue(kVideoResolution, [&](OleStringView value) {
      if (!found) resolution = value;
      found = true;
    });
    if (FAILED(hr)) return hr;
    video.sizes.push_back(media::SizeFromVideoResolution(resolution));
  }
  if (!video.sizes.empty()) {
    format->mediaKind = kMediaKindVideo;
    format->videoMaxBitRate = video.maxBitRate;
    format->videoSizes = std::move(video.sizes);
  }
  return S_OK;
}

// The first rtpmap record of each payload number. A line may declare
// thousands of rtpmaps; they are indexed when it does.
class RtpmapIndex {
 public:
  explicit RtpmapIndex(std::vector<RtpmapRecord>& records) : records_(records) {
    if (records.size() < kIndexFrom) return;
    first_.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) first_.emplace(records[i].number, i);
  }

  RtpmapRecord* Find(std::uint32_t number) const {
    if (records_.size() >= kIndexFrom) {
      auto found = first_.find(number);
      return found == first_.end() ? nullptr : &records_[found->second];
    }
    for (RtpmapRecord& record : records_)
      if (record.number == number) return &record;
    return nullptr;
  }

 private:
  static constexpr size_t kIndexFrom = 32;
  std::vector<RtpmapRecord>& records_;
  std::unordered_map<std::uint32_t, size_t> first_;
};

}  // namespace

HRESULT CMediaHandlerImpl::GetAttributeValues(ISdpContent* sdp, LONG mediaIndex, OleStringView name,
                                              std::vector<OleString>* values) {
  if (!sdp || !values) return E_POINTER;
  values->clear();
  AttributeReader reader(sdp, mediaIndex);
  return reader.ForEachValue(name, [&](OleStringView value) { values->emplace_back(value); });
}

HRESULT CMediaHandlerImpl::GetRtpmapPayloadTypes(ISdpContent* sdp, LONG mediaIndex,
                                                 PayloadTypeList* formats) {
  if (!sdp || !formats) return E_POINTER;
  formats->clear();
  MediaLineFormats line(sdp, mediaIndex);
  HRESULT hr = ReadMediaLineFormats(sdp, mediaIndex, &line);
  if (FAILED(hr)) return hr;
  PayloadTypeList records(line.rtpmaps.size());
  for (size_t i = 0; i < line.rtpmaps.size(); ++i) {
    hr = FormatOfRtpmap(line.rtpmaps[i], &line, &records[i]);
    if (FAILED(hr)) return hr;
  }
  if (line.NeedsDefaultH263()) records.push_back(DefaultH263());
  *formats = std::move(records);
  return S_OK;
}

HRESULT CMediaHandlerImpl::GetRemoteFormats(ISdpContent* sdp, LONG mediaIndex,
                                            PayloadTypeList* formats) {
  CT_MEDIA_TYPE type = CT_MEDIA_UNKNOWN;
  return ReadMediaLine(sdp, mediaIndex, &type, formats);
}

// The formats of the line in format-list order: each number takes its first
// rtpmap record, else the static table's entry below 35, else it is left
// out.
HRESULT CMediaHandlerImpl::ReadMediaLine(ISdpContent* sdp, LONG mediaIndex, CT_MEDIA_TYPE* type,
                                         PayloadTypeList* formats) {
  if (!sdp || !type || !formats) return E_POINTER;
  formats->clear();
  MediaLineFormats line(sdp, mediaIndex);
  HRESULT hr = ReadMediaLineFormats(sdp, mediaIndex, &line);
  if (FAILED(hr)) return hr;
  bool defaultH263 = line.NeedsDefaultH263();
  RtpmapIndex index(line.rtpmaps);
  PayloadTypeList result;
  result.reserve(line.numbers.size());
  for (std::uint32_t number : line.numbers) {
    if (RtpmapRecord* record = index.Find(number)) {
      if (record->firstFormat != RtpmapRecord::kNotPlaced) {
        result.push_back(PayloadType(result[record->firstFormat]));
        continue;
      }
      record->firstFormat = result.size();
      hr = FormatOfRtpmap(*record, &line, &result.emplace_back());
      if (FAILED(hr)) return hr;
    } else if (defaultH263 && number == kDefaultH263Number) {
      result.push_back(DefaultH263());
    } else if (IsStaticPayloadNumber(number)) {
      result.push_back(StaticPayloadTypes()[number]);
    }
  }
  *type = line.type;
  *formats = std::move(result);
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
