#include "host/phone_media.h"

#include <utility>

#include "platform/bstr.h"
#include "platform/wide_text.h"

namespace host {

namespace {

// The status ReserveChannel answers when the engine has no channel left.
constexpr HRESULT kReservationFailed = static_cast<HRESULT>(0x80040066u);

std::string Narrow(const platform::OleString& text) { return platform::WideToNarrow(text); }

// The direction attribute of the audio line (or, without one, of the
// session): "sendrecv", "sendonly", "recvonly" or "inactive". A connection
// address of 0.0.0.0 is the older way of saying "sendonly".
std::string OfferedDirection(const SdpSession& session, const SdpMedia& media) {
  for (const auto* attributes : {&media.attributes, &session.attributes}) {
    for (const platform::OleString& attribute : *attributes) {
      std::string text = Narrow(attribute);
      if (text == "sendrecv" || text == "sendonly" || text == "recvonly" || text == "inactive")
        return text;
    }
  }
  const auto& connection = media.connection ? media.connection : session.connection;
  if (connection && Narrow(connection->address) == "0.0.0.0") return "sendonly";
  return "sendrecv";
}

std::string AnswerDirection(const std::string& offered) {
  if (offered == "sendonly") return "recvonly";
  if (offered == "recvonly") return "sendonly";
  return offered;
}

}  // namespace

LONG FirstAudioLine(const SdpDocument& document) {
  const auto& media = document.Session().media;
  for (size_t i = 0; i < media.size(); ++i)
    if (MediaTypeFromWord(media[i].media) == CT_MEDIA_AUDIO) return static_cast<LONG>(i);
  return -1;
}

std::string FirstFormatName(const SdpDocument& document, LONG index) {
  const auto& media = document.Session().media;
  if (index < 0 || static_cast<size_t>(index) >= media.size()) return {};
  const std::string formats = Narrow(media[index].formats);
  const std::string number = formats.substr(0, formats.find(' '));
  if (number.empty()) return {};
  const std::string prefix = "rtpmap:" + number + " ";
  for (const platform::OleString& attribute : media[index].attributes) {
    const std::string text = Narrow(attribute);
    if (text.compare(0, prefix.size(), prefix) == 0) {
      const std::string map = text.substr(prefix.size());
      const size_t slash = map.find('/', map.find('/') + 1);  // drop a channel count
      return map.substr(0, slash);
    }
  }
  static const std::pair<const char*, const char*> kStatic[] = {
      {"0", "PCMU/8000"}, {"3", "GSM/8000"},  {"4", "G723/8000"},
      {"8", "PCMA/8000"}, {"9", "G722/8000"}, {"18", "G729/8000"}};
  for (const auto& [payload, name] : kStatic)
    if (number == payload) return name;
  return {};
}

PhoneMedia::PhoneMedia(IMediaHandler* handler, std::string localIp)
    : handler_(handler), localIp_(std::move(localIp)) {
  handler_->QueryInterface(IID_IAudioControl, audio_.ReceiveVoid());
}

PhoneMedia::~PhoneMedia() { Stop(); }

HRESULT PhoneMedia::Reserve(bool caller) {
  if (channel_ != -1) return S_OK;
  VARIANT_BOOL reserved = VARIANT_FALSE;
  LONG channel = -1;
  HRESULT hr =
      handler_->ReserveChannel(&channel, caller ? VARIANT_TRUE : VARIANT_FALSE, nullptr, &reserved);
  if (FAILED(hr)) return hr;
  if (reserved != VARIANT_TRUE) return kReservationFailed;
  channel_ = channel;
  state_->SetChannelId(channel_);
  return S_OK;
}

HRESULT PhoneMedia::Offer(std::string* sdp) {
  HRESULT hr = Reserve(true);
  if (FAILED(hr)) return hr;
  platform::ComPtr<SdpDocument> offer = SdpDocument::CreateOutgoing(localIp_);
  state_->SetLocalMediaDirection(CT_MEDIA_SENDRECV);
  hr = handler_->AddOfferMediaDescription(CT_MEDIA_AUDIO, state_->AsMediaState(), offer.Get());
  if (FAILED(hr)) return hr;
  ownSdp_ = offer;
  *sdp = offer->Print();
  return S_OK;
}

HRESULT PhoneMedia::TakeAnswer(std::string_view sdp) {
  if (channel_ == -1 || !ownSdp_) return E_UNEXPECTED;
  auto parsed = SdpDocument::Parse(sdp);
  if (!parsed.Ok()) return E_INVALIDARG;
  platform::ComPtr<SdpDocument> answer = std::move(parsed).Value();
  const LONG index = FirstAudioLine(*answer);
  if (index < 0) return E_INVALIDARG;
  if (answer->Session().media[index].port == 0) return S_FALSE;
  const std::string direction = OfferedDirection(answer->Session(), answer->Session().media[index]);
  held_ = direction == "recvonly" || direction == "inactive";
  codec_ = FirstFormatName(*answer, index);
  return Start(ownSdp_.Get(), answer.Get(), index);
}

PhoneAnswer PhoneMedia::Answer(std::string_view text) {
  PhoneAnswer outcome;
  auto parsed = SdpDocument::Parse(text);
  if (!parsed.Ok()) return {400, {}, E_INVALIDARG};
  platform::ComPtr<SdpDocument> offer = std::move(parsed).Value();
  const LONG index = FirstAudioLine(*offer);
  if (index < 0) return {400, {}, E_INVALIDARG};
  VARIANT_BOOL common = VARIANT_FALSE;
  HRESULT hr = handler_->AnyCommonFormat(offer.Get(), index, &common);
  if (FAILED(hr)) return {500, {}, hr};
  if (common != VARIANT_TRUE || offer->Session().media[index].port == 0) return {488, {}, S_OK};
  hr = Reserve(false);
  if (FAILED(hr)) return {hr == kReservationFailed ? 486 : 500, {}, hr};

  const std::string direction =
      AnswerDirection(OfferedDirection(offer->Session(), offer->Session().media[index]));
  state_->SetAnyCommonFormat(common);
  state_->SetAnswerMediaDirection(direction == "recvonly"   ? CT_MEDIA_RECVONLY
                                  : direction == "sendonly" ? CT_MEDIA_SENDONLY
                                  : direction == "inactive" ? CT_MEDIA_INACTIVE
                                                            : CT_MEDIA_SENDRECV);
  platform::ComPtr<SdpDocument> answer = SdpDocument::CreateOutgoing(localIp_);
  hr =
      handler_->AddAnswerMediaDescription(offer.Get(), index, state_->AsMediaState(), answer.Get());
  if (FAILED(hr)) return {500, {}, hr};
  // telephone-event and comfort noise in common are not a call.
  const std::string first = FirstFormatName(*answer, 0);
  if (first.empty() || first.starts_with("telephone-event/") || first.starts_with("CN/"))
    return {488, {}, S_OK};
  if (direction != "sendrecv") {
    platform::BString attribute(direction);
    hr = answer->AddMediaAttribute(0, attribute.Get());
    if (FAILED(hr)) return {500, {}, hr};
  }
  ownSdp_ = answer;
  held_ = direction == "recvonly" || direction == "inactive";
  codec_ = FirstFormatName(*answer, 0);
  hr = Start(answer.Get(), offer.Get(), index);
  if (FAILED(hr)) return {500, {}, hr};
  outcome.status = 200;
  outcome.sdp = answer->Print();
  return outcome;
}

HRESULT PhoneMedia::Start(SdpDocument* own, SdpDocument* peer, LONG peerIndex) {
  HRESULT hr = S_OK;
  if (!started_) {
    hr = handler_->SetReceiveParameters(own, 0, channel_);
    if (FAILED(hr)) return hr;
    hr = handler_->StartListen(channel_);
    if (FAILED(hr)) return hr;
    started_ = true;
    hr = handler_->StartPlayout(channel_);
    if (FAILED(hr)) return hr;
  }
  if (sending_) {
    sending_ = false;
    hr = handler_->StopSending(channel_);
    if (FAILED(hr)) return hr;
  }
  if (held_) return S_OK;
  hr = handler_->SetSendParameters(peer, own, peerIndex, channel_);
  if (FAILED(hr)) return hr;
  hr = handler_->StartSending(channel_);
  sending_ = SUCCEEDED(hr);
  return hr;
}

void PhoneMedia::Stop() {
  if (channel_ == -1) return;
  if (started_) {
    handler_->StopSending(channel_);
    handler_->StopPlayout(channel_);
    handler_->StopListen(channel_);
  }
  handler_->ReleaseChannel(channel_);
  channel_ = -1;
  started_ = sending_ = false;
  state_->SetChannelId(-1);
}

}  // namespace host
