// CGipsMediaHandler: the audio settings, mute, the DTMF tone gate, and the
// volumes and signal levels of IAudioControl.
#include <cstdint>
#include <exception>

#include "platform/com_call_guard.h"
#include "media/gips_media_handler.h"
#include "platform/bstr.h"
#include "platform/trace.h"

namespace {

// How long a tone shuts the gate, from its start.
constexpr UINT kToneGateMilliseconds = 200;
// The engine's microphone volume runs 0..255, its signal levels 0..9.
constexpr LONG kEngineVolumeMax = 255;
constexpr LONG kEngineLevelMax = 9;

// The telephone event of a key character; -1 for a character that is no key.
LONG EventOfKey(LONG key) {
  if (key >= '0' && key <= '9') return key - '0';
  if (key == '*') return 10;
  if (key == '#') return 11;
  if (key >= 'a' && key <= 'd') return 12 + (key - 'a');
  return -1;
}

// value × numerator / denominator with C's truncation toward zero, computed
// wide so that no host value overflows.
LONG Scale(LONG value, LONG numerator, LONG denominator) {
  return static_cast<LONG>(std::int64_t{value} * numerator / denominator);
}

}  // namespace

HRESULT CGipsMediaHandler::SetAudioDevices(LONG playbackDevice, LONG recordingDevice) {
  playbackDevice_ = playbackDevice;
  recordingDevice_ = recordingDevice;
  return S_OK;
}

HRESULT CGipsMediaHandler::AddPreferredAudioFormat(BSTR codecName) {
  if (!codecName) return E_POINTER;
  return platform::GuardComCall([&]() -> HRESULT {
    preferredAudioFormats_.emplace_back(platform::BstrView(codecName));
    return S_OK;
  });
}

HRESULT CGipsMediaHandler::ClearPreferredAudioFormats() {
  preferredAudioFormats_.clear();
  return S_OK;
}

HRESULT CGipsMediaHandler::SetSilenceSuppression(VARIANT_BOOL enable) {
  silenceSuppression_ = enable;
  return S_OK;
}

HRESULT CGipsMediaHandler::SetAcousticEchoCancellation(VARIANT_BOOL enable) {
  voiceEngine_.SetEchoCancellation(enable == VARIANT_TRUE);
  return S_OK;
}

HRESULT CGipsMediaHandler::SetAutomaticGainControl(VARIANT_BOOL enable) {
  voiceEngine_.SetGainControl(enable == VARIANT_TRUE ? VARIANT_TRUE : VARIANT_FALSE);
  return S_OK;
}

HRESULT CGipsMediaHandler::MuteAudio(VARIANT_BOOL mute, LONG channel) {
  ChannelState* state = nullptr;
  HRESULT hr = GetChannelState(channel, &state);
  if (FAILED(hr)) return hr;
  return voiceEngine_.SetInputMute(channel, mute == VARIANT_TRUE);
}

HRESULT CGipsMediaHandler::StartDtmfTone(LONG key, LONG channel) {
  ChannelState* state = nullptr;
  HRESULT hr = GetChannelState(channel, &state);
  if (FAILED(hr)) return hr;
  // A shut gate drops the key unseen.
  if (!state->sending || toneActive_ || toneTimer_.IsRunning()) return S_OK;
  LONG event = EventOfKey(key);
  if (event < 0) return E_INVALIDARG;
  return PlayTone(channel, event);
}

HRESULT CGipsMediaHandler::StopDtmfTone(LONG) {
  if (toneActive_) EndTone();
  return S_OK;
}

HRESULT CGipsMediaHandler::PlayTone(LONG channel, LONG event) {
  // Out of band as an RTP event when the peer takes telephone-event, else
  // in band.
  HRESULT hr = voiceEngine_.SendTelephoneEvent(channel, event, telephoneEventNegotiated_);
  if (FAILED(hr)) return kMediaToneFailure;
  toneActive_ = true;
  try {
    toneTimer_.Start(kToneGateMilliseconds, this);
  } catch (const std::exception& refused) {
    // The tone is out; without the timer the gate opens at the key's
    // release instead, which is what the host waits for anyway.
    platform::Trace("%s\n", refused.what());
  }
  return S_OK;
}

HRESULT CGipsMediaHandler::EndTone() {
  toneActive_ = false;
  return S_OK;
}

void CGipsMediaHandler::OnTimer(CTimer*) {
  toneTimer_.Stop();
  if (!toneActive_) EndTone();
}

HRESULT CGipsMediaHandler::SetSpeakerVolume(LONG percent, LONG) {
  audioDevices_.SetVolume(percent);
  return S_OK;
}

HRESULT CGipsMediaHandler::GetSpeakerVolume(LONG* percent, LONG) {
  if (!percent) return E_POINTER;
  *percent = audioDevices_.GetVolume();
  return *percent == -1 ? S_FALSE : S_OK;
}

HRESULT CGipsMediaHandler::SetMicrophoneVolume(LONG percent, LONG) {
  // The engine has no microphone until a channel opened its sound devices.
  if (reservedChannelCount_ > 0) voiceEngine_.SetMicVolume(Scale(percent, kEngineVolumeMax, 100));
  return S_OK;
}

HRESULT CGipsMediaHandler::GetMicrophoneVolume(LONG* percent, LONG) {
  if (!percent) return E_POINTER;
  LONG level = -1;
  if (reservedChannelCount_ > 0 && SUCCEEDED(voiceEngine_.GetMicVolume(&level))) {
    *percent = Scale(level, 100, kEngineVolumeMax);
    return S_OK;
  }
  *percent = -1;
  return S_FALSE;
}

HRESULT CGipsMediaHandler::GetSpeakerLevel(LONG* percent, LONG) {
  if (!percent) return E_POINTER;
  LONG level = -1;
  if (reservedChannelCount_ > 0 && SUCCEEDED(voiceEngine_.GetSpeakerLevel(&level))) {
    *percent = Scale(level, 100, kEngineLevelMax);
    return S_OK;
  }
  *percent = -1;
  return S_FALSE;
}

HRESULT CGipsMediaHandler::GetMicrophoneLevel(LONG* percent, LONG) {
  if (!percent) return E_POINTER;
  LONG level = -1;
  if (reservedChannelCount_ > 0 && SUCCEEDED(voiceEngine_.GetMicLevel(&level))) {
    *percent = Scale(level, 100, kEngineLevelMax);
    return S_OK;
  }
  *percent = -1;
  return S_FALSE;
}
