// CMediaHandlerImpl: offer/answer — common formats, dynamic payload number
// memory, and the IMediaHandler methods that write media lines.
#include "platform/com_call_guard.h"
#include "media/media_handler_impl.h"
#include "platform/com_ptr.h"

using platform::OleString;
using platform::OleStringView;

namespace {

bool IsHold(CT_MEDIA_DIRECTION direction) {
  return direction == CT_MEDIA_SENDONLY || direction == CT_MEDIA_INACTIVE;
}

// H.264 payloads take the newest number: their parameters may differ between
// offers, so an old number could describe another configuration.
bool KeepsNewestNumber(const OleString& name) {
  return name == MEDLEY_OLESTR("H264") || name == MEDLEY_OLESTR("h264");
}

}  // namespace

HRESULT CMediaHandlerImpl::GetCommonFormats(CT_MEDIA_TYPE mediaType, ISdpContent*, LONG,
                                            const PayloadTypeList& remote,
                                            PayloadTypeList* common) {
  if (!common) return E_POINTER;
  common->clear();
  PayloadTypeList local;
  HRESULT hr = GetSupportedPayloadTypes(mediaType, &local);
  if (FAILED(hr)) return hr;
  common->reserve(local.size());
  for (const PayloadType& ours : local) {
    for (const PayloadType& theirs : remote) {
      if (!platform::WideEqualsNoCase(ours.encodingName, theirs.encodingName)) continue;
      PayloadType& format = common->emplace_back(theirs);
      format.rate = ours.rate;
      format.packetSize = ours.packetSize;
      break;
    }
  }
  return S_OK;
}

HRESULT CMediaHandlerImpl::RememberPayloadNumbers(LONG channelId, PayloadTypeList* formats) {
  if (!formats) return E_POINTER;
  ChannelState* channel = nullptr;
  HRESULT hr = GetChannelState(channelId, &channel);
  if (FAILED(hr)) return hr;
  for (PayloadType& format : *formats) {
    if (!format.IsDynamic()) continue;
    auto remembered = channel->payloadNumbers.find(format.encodingName);
    if (remembered != channel->payloadNumbers.end() && !KeepsNewestNumber(format.encodingName))
      format.payloadNumber = remembered->second;
    else
      channel->payloadNumbers[format.encodingName] = format.payloadNumber;
  }
  return S_OK;
}

HRESULT CMediaHandlerImpl::AnyCommonFormat(ISdpContent* pIncomingSdp, LONG lMediaIndex,
                                           VARIANT_BOOL* pbAnyCommonFormat) {
  return platform::GuardComCall([&]() -> HRESULT {
    if (!pIncomingSdp || !pbAnyCommonFormat) return E_POINTER;
    CT_MEDIA_TYPE type = CT_MEDIA_UNKNOWN;
    PayloadTypeList remote, common;
    HRESULT hr = ReadMediaLine(pIncomingSdp, lMediaIndex, &type, &remote);
    if (SUCCEEDED(hr)) hr = GetCommonFormats(type, pIncomingSdp, lMediaIndex, remote, &common);
    if (FAILED(hr)) return hr;
    *pbAnyCommonFormat = common.empty() ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
  });
}

HRESULT CMediaHandlerImpl::AddOfferMediaDescription(CT_MEDIA_TYPE mediaType,
                                                    IMediaState* pMediaState,
                                                    ISdpContent* pOutgoingSdp) {
  return platform::GuardComCall([&]() -> HRESULT {
    if (!pOutgoingSdp || !pMediaState) return E_POINTER;
    VARIANT_BOOL terminated = VARIANT_FALSE;
    LONG channelId = -1;
    HRESULT hr = pMediaState->get_Terminated(&terminated);
    if (SUCCEEDED(hr)) hr = pMediaState->get_ChannelId(&channelId);
    if (FAILED(hr)) return hr;
    PayloadTypeList formats;
    hr = GetSupportedPayloadTypes(mediaType, &formats);
    if (SUCCEEDED(hr)) hr = RememberPayloadNumbers(channelId, &formats);
    if (FAILED(hr)) return hr;
    BYTE rejected = terminated == VARIANT_TRUE ? 1 : 0;
    CT_MEDIA_DIRECTION direction = CT_MEDIA_SENDRECV;
    hr = pMediaState->get_LocalMediaDirection(&direction);
    if (FAILED(hr)) return hr;
    BYTE hold = IsHold(direction) ? 1 : 0;
    return DoAddMediaDescription(mediaType, pOutgoingSdp, channelId, rejected, hold, formats,
                                 nullptr, 0);
  });
}

HRESULT CMediaHandlerImpl::AddAnswerMediaDescription(ISdpContent* pIncomingSdp, LONG lMediaIndex,
                                                     IMediaState* pMediaState,
                                                     ISdpContent* pOutgoingSdp) {
  return platform::GuardComCall([&]() -> HRESULT {
    if (!pIncomingSdp || !pOutgoingSdp || !pMediaState) return E_POINTER;
    LONG channelId = -1;
    HRESULT hr = pMediaState->get_ChannelId(&channelId);
    if (FAILED(hr)) return hr;
    CT_MEDIA_TYPE type = CT_MEDIA_UNKNOWN;
    PayloadTypeList remote;
    hr = ReadMediaLine(pIncomingSdp, lMediaIndex, &type, &remote);
    if (FAILED(hr)) return hr;
    VARIANT_BOOL anyCommon = VARIANT_FALSE, terminated = VARIANT_FALSE;
    hr = pMediaState->get_AnyCommonFormat(&anyCommon);
    if (SUCCEEDED(hr)) hr = pMediaState->get_Terminated(&terminated);
    if (FAILED(hr)) return hr;

    PayloadTypeList formats;
    BYTE rejected = 0;
    if (anyCommon == VARIANT_TRUE && terminated == VARIANT_FALSE) {
      hr = GetCommonFormats(type, pIncomingSdp, lMediaIndex, remote, &formats);
      if (SUCCEEDED(hr)) hr = RememberPayloadNumbers(channelId, &formats);
      if (FAILED(hr)) return hr;
    } else {
      rejected = 1;
      if (channelId != -1) {
        ChannelState* channel = nullptr;
        hr = GetChannelState(channelId, &channel);
        if (FAILED(hr)) return hr;
        channel->receivePort = 0;
      }
      // A rejected line echoes what was offered.
      formats = std::move(remote);
    }

    platform::ComPtr<IMediaState2> state2;
    hr = pMediaState->QueryInterface(IID_IMediaState2, state2.ReceiveVoid());
    if (FAILED(hr)) return hr;
    CT_MEDIA_DIRECTION direction = CT_MEDIA_SENDRECV;
    hr = state2->get_AnswerMediaDirection(&direction);
    if (FAILED(hr)) return hr;
    BYTE hold = IsHold(direction) ? 1 : 0;
    return DoAddMediaDescription(type, pOutgoingSdp, channelId, rejected, hold, formats,
                                 pIncomingSdp, lMediaIndex);
  });
}
