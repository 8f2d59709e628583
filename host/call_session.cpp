#include "host/call_session.h"

#include <utility>

#include "medley/audio_control.h"
#include "platform/bstr.h"

namespace tools {

namespace {

platform::ComPtr<host::SdpDocument> OutgoingDocument(const CallParty& party) {
  return host::SdpDocument::CreateOutgoing(
      platform::WideToNarrow(party.network->Settings().local_ip));
}

}  // namespace

CallSession::CallSession(CallParty& caller, CallParty& callee, StepObserver observer)
    : caller_(caller),
      callee_(callee),
      observer_(std::move(observer)),
      offer_(OutgoingDocument(caller)),
      answer_(OutgoingDocument(callee)) {}

HRESULT CallSession::Record(const CallParty& party, const char* operation, HRESULT result) {
  steps_.push_back({party.name, operation, result});
  if (observer_) observer_(steps_.back());
  return result;
}

HRESULT CallSession::Prepare(CallParty& party) {
  HRESULT hr = Record(party, "Init", party.handler->Init(party.network.Get()));
  if (FAILED(hr)) return hr;
  if (party.preferredCodecs.empty()) return S_OK;
  platform::ComPtr<IAudioControl> audio;
  hr = party.handler.As(&audio);
  if (FAILED(hr)) return Record(party, "QueryInterface(IAudioControl)", hr);
  for (const std::string& codec : party.preferredCodecs) {
    platform::BString name(codec);
    hr = Record(party, "AddPreferredAudioFormat", audio->AddPreferredAudioFormat(name.Get()));
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT CallSession::Connect() {
  VARIANT_BOOL reserved = VARIANT_FALSE;
  HRESULT hr =
      Record(caller_, "ReserveChannel",
             caller_.handler->ReserveChannel(&caller_.channel, VARIANT_TRUE, nullptr, &reserved));
  if (FAILED(hr)) return hr;
  if (reserved != VARIANT_TRUE) caller_.channel = -1;
  caller_.state->SetChannelId(caller_.channel);
  hr = Record(caller_, "AddOfferMediaDescription",
              caller_.handler->AddOfferMediaDescription(
                  CT_MEDIA_AUDIO, caller_.state->AsMediaState(), offer_.Get()));
  if (FAILED(hr)) return hr;

  VARIANT_BOOL anyCommon = VARIANT_FALSE;
  hr = Record(callee_, "AnyCommonFormat",
              callee_.handler->AnyCommonFormat(offer_.Get(), 0, &anyCommon));
  if (FAILED(hr)) return hr;
  hr = Record(callee_, "ReserveChannel",
              callee_.handler->ReserveChannel(&callee_.channel, VARIANT_FALSE, nullptr, &reserved));
  if (FAILED(hr)) return hr;
  if (reserved != VARIANT_TRUE) callee_.channel = -1;
  callee_.state->SetChannelId(callee_.channel);
  callee_.state->SetAnyCommonFormat(anyCommon);
  hr = Record(callee_, "AddAnswerMediaDescription",
              callee_.handler->AddAnswerMediaDescription(
                  offer_.Get(), 0, callee_.state->AsMediaState(), answer_.Get()));
  if (FAILED(hr)) return hr;
  if (anyCommon != VARIANT_TRUE) return S_FALSE;

  hr = StartMedia(callee_, answer_.Get(), offer_.Get());
  if (FAILED(hr)) return hr;
  return StartMedia(caller_, offer_.Get(), answer_.Get());
}

HRESULT CallSession::StartMedia(CallParty& party, host::SdpDocument* own, host::SdpDocument* peer) {
  IMediaHandler* handler = party.handler.Get();
  const LONG channel = party.channel;
  party.mediaStarted = true;
  HRESULT hr =
      Record(party, "SetReceiveParameters", handler->SetReceiveParameters(own, 0, channel));
  if (FAILED(hr)) return hr;
  hr = Record(party, "StartListen", handler->StartListen(channel));
  if (FAILED(hr)) return hr;
  hr = Record(party, "StartPlayout", handler->StartPlayout(channel));
  if (FAILED(hr)) return hr;
  hr = Record(party, "SetSendParameters", handler->SetSendParameters(peer, own, 0, channel));
  if (FAILED(hr)) return hr;
  return Record(party, "StartSending", handler->StartSending(channel));
}

HRESULT CallSession::HangUp() {
  HRESULT first = S_OK;
  auto keep = [&first](HRESULT hr) {
    if (FAILED(hr) && SUCCEEDED(first)) first = hr;
  };
  for (CallParty* party : {&caller_, &callee_}) {
    if (party->channel == -1) continue;
    IMediaHandler* handler = party->handler.Get();
    const LONG channel = party->channel;
    if (party->mediaStarted) {
      keep(Record(*party, "StopSending", handler->StopSending(channel)));
      keep(Record(*party, "StopPlayout", handler->StopPlayout(channel)));
      keep(Record(*party, "StopListen", handler->StopListen(channel)));
    }
    keep(Record(*party, "ReleaseChannel", handler->ReleaseChannel(channel)));
    party->channel = -1;
    party->mediaStarted = false;
    party->state->SetChannelId(-1);
  }
  return first;
}

}  // namespace tools
