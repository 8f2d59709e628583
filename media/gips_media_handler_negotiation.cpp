// CGipsMediaHandler: the local codec catalogue over the voice engine and the
// audio media line written into offers and answers.
#include <algorithm>
#include <cstdint>
#include <iterator>

#include "media/gips_media_handler.h"
#include "platform/bstr.h"
#include "platform/trace.h"

using platform::BString;
using platform::OleString;
using platform::OleStringView;

namespace {

constexpr OleStringView kTransport = MEDLEY_OLESTR("RTP/AVP");
constexpr OleStringView kNetworkType = MEDLEY_OLESTR("IN");
constexpr OleStringView kAddressType = MEDLEY_OLESTR("IP4");
constexpr std::uint32_t kG729Number = 18;
constexpr std::uint32_t kLastPort = 65535;
// GetCodecAt takes a 16-bit index.
constexpr LONG kMaxCodecCount = 0x8000;

// Appends the decimal text of `number`.
void AppendNumber(OleString* text, std::int64_t number) {
  OLECHAR digits[24];
  OLECHAR* end = digits + std::size(digits);
  OLECHAR* first = end;
  std::uint64_t magnitude =
      number < 0 ? 0 - static_cast<std::uint64_t>(number) : static_cast<std::uint64_t>(number);
  do {
    *--first = static_cast<OLECHAR>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (number < 0) *--first = '-';
  text->append(first, end);
}

}  // namespace

HRESULT CGipsMediaHandler::GetSupportedPayloadTypes(CT_MEDIA_TYPE, PayloadTypeList* formats) {
  if (!formats) return E_POINTER;
  INetwork* network = Network();
  if (!network) return E_UNEXPECTED;
  CT_CONNECTION_TYPE connectionType = CT_CONNECTION_TYPE_2048_KBPS;
  HRESULT hr = network->get_ConnectionType(&connectionType);
  if (FAILED(hr)) return hr;

  platform::Trace("\nListing supported codecs of GIPS:\n");
  LONG count = 0;
  if (FAILED(voiceEngine_.GetNumOfCodecs(&count))) count = 0;
  const auto& preferred = preferredAudioFormats_;
  bool amrWbSpelledForSdp =
      std::find(preferred.begin(), preferred.end(), kCodecNameAmrWbSdp) != preferred.end();
  PayloadTypeList enabledCodecs;
  // Usually one codec per preferred name is enabled.
  enabledCodecs.reserve(
      std::min(static_cast<size_t>(std::clamp<LONG>(count, 0, kMaxCodecCount)), preferred.size()));
  bool comfortNoiseTaken = false;
  CodecDescriptor codec;
  for (LONG index = 0; index < std::min(count, kMaxCodecCount); ++index) {
    hr = voiceEngine_.GetCodecAt(static_cast<SHORT>(index), &codec);
    if (FAILED(hr)) return hr;
    OleStringView name = codec.Name();
    // Codec names compare without regard to letter case.
    bool comfortNoise = platform::WideEqualsNoCase(name, kCodecNameComfortNoise);
    bool considered = !comfortNoise || (silenceSuppression_ == VARIANT_TRUE && !comfortNoiseTaken);
    bool engineAmrWb = name == kCodecNameAmrWbEngine;
    auto preferredName = [&](const OleString& p) { return platform::WideEqualsNoCase(p, name); };
    bool enabled = considered && ((engineAmrWb && amrWbSpelledForSdp) ||
                                  std::any_of(preferred.begin(), preferred.end(), preferredName));
    platform::Trace("payload:%d, name:%S, frequency:%d, channels:%d rate:%d packetsize:%d%s",
                    codec.payloadType, codec.name ? codec.name : MEDLEY_OLESTR(""), codec.frequency,
                    codec.channels, codec.rate, codec.packetSize,
                    enabled ? "[enabled] \n" : "[disabled] \n");
    if (!enabled) continue;
    if (comfortNoise) comfortNoiseTaken = true;
    OleStringView listedName = engineAmrWb && amrWbSpelledForSdp ? kCodecNameAmrWbSdp : name;
    PayloadType& format = enabledCodecs.emplace_back(codec.payloadType, listedName, kMediaKindAudio,
                                                     codec.frequency, codec.channels);
    format.rate = codec.rate;
    format.packetSize = codec.packetSize;
  }
  platform::Trace("List of enabled codecs is controlled in vendor.xml.\n\n");

  // Preference order: each preferred name takes the first record of that
  // name not yet taken; the records never taken follow in engine order. The
  // order is worked out on positions so that each record moves once.
  const size_t enabledCount = enabledCodecs.size();
  std::vector<bool> taken(enabledCount, false);
  PayloadTypeList ordered;
  ordered.reserve(enabledCount);
  for (const OleString& wanted : preferred) {
    for (size_t i = 0; i < enabledCount; ++i) {
      if (taken[i] || !platform::WideEqualsNoCase(enabledCodecs[i].encodingName, wanted)) continue;
      taken[i] = true;
      ordered.push_back(std::move(enabledCodecs[i]));
      break;
    }
  }
  for (size_t i = 0; i < enabledCount; ++i)
    if (!taken[i]) ordered.push_back(std::move(enabledCodecs[i]));
  *formats = std::move(ordered);
  return S_OK;
}

HRESULT CGipsMediaHandler::GetDefaultPacketTime(CT_MEDIA_TYPE, OleStringView codecName,
                                                LONG* milliseconds) {
  if (!milliseconds) return E_POINTER;
  OleStringView wanted = EngineCodecName(codecName);
  LONG count = 0;
  if (FAILED(voiceEngine_.GetNumOfCodecs(&count))) count = 0;
  for (LONG index = 0; index < std::min(count, kMaxCodecCount); ++index) {
    CodecDescriptor codec;
    HRESULT hr = voiceEngine_.GetCodecAt(static_cast<SHORT>(index), &codec);
    if (FAILED(hr)) return hr;
    // A codec without a clock rate has no packet time.
    if (codec.frequency == 0 || !platform::WideEqualsNoCase(codec.Name(), wanted)) continue;
    *milliseconds = static_cast<LONG>(std::int64_t{codec.packetSize} * 1000 / codec.frequency);
    return S_OK;
  }
  return E_FAIL;
}

HRESULT CGipsMediaHandler::DoAddMediaDescription(CT_MEDIA_TYPE mediaType, ISdpContent* outgoingSdp,
                                                 LONG channelId, BYTE rejected, BYTE,
                                                 const PayloadTypeList& formats, ISdpContent*,
                                                 LONG) {
  platform::Trace("CGipsMediaHandler::DoAddMediaDescription\n");
  if (mediaType != CT_MEDIA_AUDIO) return E_INVALIDARG;
  if (!outgoingSdp) return E_POINTER;
  OleString formatList;
  formatList.reserve(formats.size() * 4);
  for (const PayloadType& format : formats) {
    if (!formatList.empty()) formatList += ' ';
    AppendNumber(&formatList, format.Number());
  }
  ChannelState* channel = nullptr;
  HRESULT hr = GetChannelState(channelId, &channel);
  if (FAILED(hr)) return hr;

  LONG port = 0;
  if (rejected) {
    channel->receivePort = 0;
  } else if (channel->receivePort != 0) {
    port = channel->receivePort;
  } else {
    INetwork* network = Network();
    if (!network) return E_UNEXPECTED;
    LONG preferredPort = 0;
    hr = network->get_PreferredAudioRtpPort(&preferredPort);
    if (FAILED(hr)) return hr;
    std::uint16_t freePort = 0;
    hr = FindFreePort(static_cast<std::uint32_t>(preferredPort), kLastPort, &freePort);
    if (FAILED(hr)) return hr;
    channel->receivePort = freePort;
    port = freePort;
  }

  // The constant words are made into BSTRs once; hosts only read [in] text.
  static const BString transportText(kTransport);
  static const BString networkTypeText(kNetworkType);
  static const BString addressTypeText(kAddressType);
  LONG index = 0;
  hr = outgoingSdp->AddMedia(CT_MEDIA_AUDIO, port, transportText.Get(), BString(formatList).Get(),
                             &index);
  if (FAILED(hr)) return hr;
  OleString attribute;
  for (const PayloadType& format : formats) {
    attribute.assign(MEDLEY_OLESTR("rtpmap:"));
    AppendNumber(&attribute, format.Number());
    attribute += ' ';
    attribute += format.encodingName;
    attribute += '/';
    AppendNumber(&attribute, format.clockRate);
    hr = outgoingSdp->AddMediaAttribute(index, BString(attribute).Get());
    if (FAILED(hr)) return hr;
  }
  for (const PayloadType& format : formats) {
    if (format.Number() != kG729Number) continue;
    attribute.assign(MEDLEY_OLESTR("fmtp:"));
    AppendNumber(&attribute, format.Number());
    attribute += silenceSuppression_ == VARIANT_TRUE ? MEDLEY_OLESTR(" annexb=yes")
                                                     : MEDLEY_OLESTR(" annexb=no");
    hr = outgoingSdp->AddMediaAttribute(index, BString(attribute).Get());
    if (FAILED(hr)) return hr;
  }
  BString address;
  hr = GetLocalAddress(address.Receive());
  if (FAILED(hr)) return hr;
  return outgoingSdp->PutMediaConnection(index, networkTypeText.Get(), addressTypeText.Get(),
                                         address.Get());
}
