// IAudioControl: the plug-in's second interface, for everything that concerns
// sound rather than signalling. Reached by QueryInterface on the media handler
// object. The slot order is binding. `channel` is a channel identifier handed
// out by IMediaHandler::ReserveChannel; methods 10 to 15 accept it and ignore
// it (volumes and levels are global).
#pragma once

#include "medley/audio_streams.h"
#include "medley/com_base.h"
#include "medley/host_interfaces.h"

constexpr IID IID_IAudioControl = {
    0xBD3CA422, 0x5B75, 0x4D4C, {0x8B, 0x45, 0xA0, 0x36, 0xDC, 0x35, 0x30, 0xA4}};

class IAudioControl : public IUnknown {
 public:
  // Wave device identifiers; they take effect at the first reservation and
  // whenever playout starts.
  virtual HRESULT STDMETHODCALLTYPE SetAudioDevices(LONG playbackDevice, LONG recordingDevice) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddPreferredAudioFormat(BSTR codecName) = 0;
  virtual HRESULT STDMETHODCALLTYPE ClearPreferredAudioFormats() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSilenceSuppression(VARIANT_BOOL enable) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetAcousticEchoCancellation(VARIANT_BOOL enable) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetAutomaticGainControl(VARIANT_BOOL enable) = 0;
  virtual HRESULT STDMETHODCALLTYPE MuteAudio(VARIANT_BOOL mute, LONG channel) = 0;
  // `key` is a character: '0'-'9', '*', '#', 'a'-'d'.
  virtual HRESULT STDMETHODCALLTYPE StartDtmfTone(LONG key, LONG channel) = 0;
  virtual HRESULT STDMETHODCALLTYPE StopDtmfTone(LONG channel) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSpeakerVolume(LONG percent, LONG channel) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSpeakerVolume(LONG* percent, LONG channel) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMicrophoneVolume(LONG percent, LONG channel) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMicrophoneVolume(LONG* percent, LONG channel) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSpeakerLevel(LONG* percent, LONG channel) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMicrophoneLevel(LONG* percent, LONG channel) = 0;
  // `format` is an AudioStreamFormat code; `volume` a percentage (100 = as is).
  virtual HRESULT STDMETHODCALLTYPE StartPlayAudioStream(LONG channel, LONG format,
                                                         IAudioSource* source, LONG volume) = 0;
  virtual HRESULT STDMETHODCALLTYPE StopPlayAudioStream(LONG channel) = 0;
  virtual HRESULT STDMETHODCALLTYPE StartSendAudioStream(LONG channel, LONG format,
                                                         IAudioSource* source, LONG volume) = 0;
  virtual HRESULT STDMETHODCALLTYPE StopSendAudioStream(LONG channel) = 0;
  virtual HRESULT STDMETHODCALLTYPE StartRecordAudioStream(LONG channel, LONG format,
                                                           IAudioSink* sink) = 0;
  virtual HRESULT STDMETHODCALLTYPE StopRecordAudioStream(LONG channel) = 0;
  virtual HRESULT STDMETHODCALLTYPE ConvertAudioStream(LONG inFormat, IAudioSource* source,
                                                       LONG outFormat, IAudioSink* sink) = 0;
  virtual HRESULT STDMETHODCALLTYPE StartRecordAudioConversation(LONG channel, LONG format,
                                                                 BSTR fileName) = 0;
  virtual HRESULT STDMETHODCALLTYPE PauseRecordAudioConversation(LONG channel,
                                                                 VARIANT_BOOL pause) = 0;
  virtual HRESULT STDMETHODCALLTYPE StopRecordAudioConversation(LONG channel) = 0;

 protected:
  ~IAudioControl() = default;
};

template <>
struct InterfaceIdOf<IAudioControl> {
  static constexpr const IID& value = IID_IAudioControl;
};
