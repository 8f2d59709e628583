// CGipsMediaHandler: the media handler over the voice engine. It owns one
// CKsVoiceEngine and supplies the engine-specific operations of
// CMediaHandlerImpl: the local codec list (the engine's codecs filtered and
// ordered by the preferred audio formats), codec packet times, the audio
// media line it writes into offers and answers, channel reservation and the
// streaming of a channel. It is also the host's IAudioControl: sound
// devices, codec preferences, voice processing, mute, DTMF key tones,
// volumes and levels, audio streams and conversation recording.
//
// The source is split by concern: gips_media_handler.cpp (object, Init,
// IUnknown), gips_media_handler_negotiation.cpp (codec catalogue and media
// line), gips_media_handler_channels.cpp (channels and streaming),
// gips_media_handler_audio_controls.cpp (audio settings, DTMF, volumes) and
// gips_media_handler_streams.cpp (audio streams and recording).
//
// Called on the host's apartment thread only; no locks. The voice engine
// calls the stream relays on its own threads; the relays lock themselves.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "audio/audio_device_manager.h"
#include "audio/channel_stream_state.h"
#include "audio/codec_descriptor.h"
#include "audio/ks_voice_engine.h"
#include "audio/timer.h"
#include "media/media_handler_impl.h"
#include "medley/audio_control.h"
#include "platform/com_ptr.h"
#include "platform/wide_text.h"

// The tone could not be sent to the engine.
constexpr HRESULT kMediaToneFailure = static_cast<HRESULT>(0x8004006Du);
// The engine error that StartListen retries (the port is still taken).
constexpr HRESULT kEnginePortBusy = static_cast<HRESULT>(0x80042713u);
// The engine error of StartPlayout that means the speaker device failed.
constexpr HRESULT kEngineSpeakerError = static_cast<HRESULT>(0x8004271Du);

class CGipsMediaHandler : public CMediaHandlerImpl, public IAudioControl, private ITimerCallback {
 public:
  // A new handler with one reference; its adapter takes the engine from the
  // current engine factory.
  static platform::ComPtr<CGipsMediaHandler> Create();
  CGipsMediaHandler();

  // IUnknown, shared by IMediaHandler and IAudioControl: one reference
  // count; IUnknown answers the IMediaHandler pointer.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IMediaHandler: the object (gips_media_handler.cpp).
  HRESULT STDMETHODCALLTYPE get_Version(BSTR* pbstrVersion) override;
  HRESULT STDMETHODCALLTYPE get_VendorInformation(BSTR* pbstrVendorInformation) override;
  HRESULT STDMETHODCALLTYPE Init(INetwork* pNetwork) override;

  // IMediaHandler: streaming on a channel (gips_media_handler_channels.cpp).
  // Unknown channels: E_INVALIDARG for the starts, S_FALSE for the stops.
  HRESULT STDMETHODCALLTYPE StartListen(LONG lChannelId) override;
  HRESULT STDMETHODCALLTYPE StopListen(LONG lChannelId) override;
  HRESULT STDMETHODCALLTYPE StartPlayout(LONG lChannelId) override;
  // Stops an audio stream played into the channel first.
  HRESULT STDMETHODCALLTYPE StopPlayout(LONG lChannelId) override;
  HRESULT STDMETHODCALLTYPE StartSending(LONG lChannelId) override;
  // Stops an audio stream sent into the channel first.
  HRESULT STDMETHODCALLTYPE StopSending(LONG lChannelId) override;

  // IAudioControl: settings, DTMF, volumes (gips_media_handler_audio_controls.cpp).
  // The devices take effect at the first reservation and at each playout start.
  HRESULT STDMETHODCALLTYPE SetAudioDevices(LONG playbackDevice, LONG recordingDevice) override;
  // Appends a codec name to the preferred formats (duplicates kept);
  // E_POINTER for null.
  HRESULT STDMETHODCALLTYPE AddPreferredAudioFormat(BSTR codecName) override;
  HRESULT STDMETHODCALLTYPE ClearPreferredAudioFormats() override;
  // Stored as given. Only VARIANT_TRUE offers CN and writes annexb=yes;
  // any non-zero value turns voice activity detection on when sending.
  HRESULT STDMETHODCALLTYPE SetSilenceSuppression(VARIANT_BOOL enable) override;
  // On only for VARIANT_TRUE; S_OK whatever the engine answers.
  HRESULT STDMETHODCALLTYPE SetAcousticEchoCancellation(VARIANT_BOOL enable) override;
  HRESULT STDMETHODCALLTYPE SetAutomaticGainControl(VARIANT_BOOL enable) override;
  // Mutes only for VARIANT_TRUE; the engine's failure is returned.
  HRESULT STDMETHODCALLTYPE MuteAudio(VARIANT_BOOL mute, LONG channel) override;
  // Sends the key as a 160 ms telephone event when the channel is sending
  // and the tone gate is open: the previous key released and its 200 ms
  // passed. Keys that meet a shut gate are dropped with S_OK. E_INVALIDARG
  // for a key other than 0-9 * # a-d; 0x8004006D when the engine refuses.
  // When the system refuses the pacing timer the key has gone out all the
  // same: the answer is S_OK and the gate opens at the key's release.
  HRESULT STDMETHODCALLTYPE StartDtmfTone(LONG key, LONG channel) override;
  // Releases the key; the channel is not looked at. Always S_OK.
  HRESULT STDMETHODCALLTYPE StopDtmfTone(LONG channel) override;
  // Volumes and levels are global (the channel is ignored) and in percent.
  // The getters answer -1 with S_FALSE when there is no value, and E_POINTER
  // for a null out-pointer.
  HRESULT STDMETHODCALLTYPE SetSpeakerVolume(LONG percent, LONG channel) override;
  HRESULT STDMETHODCALLTYPE GetSpeakerVolume(LONG* percent, LONG channel) override;
  // Takes effect only while a channel is reserved.
  HRESULT STDMETHODCALLTYPE SetMicrophoneVolume(LONG percent, LONG channel) override;
  HRESULT STDMETHODCALLTYPE GetMicrophoneVolume(LONG* percent, LONG channel) override;
  HRESULT STDMETHODCALLTYPE GetSpeakerLevel(LONG* percent, LONG channel) override;
  HRESULT STDMETHODCALLTYPE GetMicrophoneLevel(LONG* percent, LONG channel) override;

  // IAudioControl: streams and recording (gips_media_handler_streams.cpp).
  // Unknown channels: E_INVALIDARG, except S_FALSE for the three stream
  // stops. A null source or sink: E_POINTER; a format code outside 0..5:
  // E_INVALIDARG. Starting what runs already, or stopping what does not
  // run, is S_OK and changes nothing. A start the engine refuses leaves the
  // relay closed without calling the host object again.
  HRESULT STDMETHODCALLTYPE StartPlayAudioStream(LONG channel, LONG format, IAudioSource* source,
                                                 LONG volume) override;
  HRESULT STDMETHODCALLTYPE StopPlayAudioStream(LONG channel) override;
  HRESULT STDMETHODCALLTYPE StartSendAudioStream(LONG channel, LONG format, IAudioSource* source,
                                                 LONG volume) override;
  HRESULT STDMETHODCALLTYPE StopSendAudioStream(LONG channel) override;
  HRESULT STDMETHODCALLTYPE StartRecordAudioStream(LONG channel, LONG format,
                                                   IAudioSink* sink) override;
  HRESULT STDMETHODCALLTYPE StopRecordAudioStream(LONG channel) override;
  // Converts the whole stream before returning; one side must be PCM (2),
  // E_NOTIMPL otherwise and for PCM to WAV.
  HRESULT STDMETHODCALLTYPE ConvertAudioStream(LONG inFormat, IAudioSource* source, LONG outFormat,
                                               IAudioSink* sink) override;
  HRESULT STDMETHODCALLTYPE StartRecordAudioConversation(LONG channel, LONG format,
                                                         BSTR fileName) override;
  HRESULT STDMETHODCALLTYPE PauseRecordAudioConversation(LONG channel, VARIANT_BOOL pause) override;
  HRESULT STDMETHODCALLTYPE StopRecordAudioConversation(LONG channel) override;

  // The engine codec of an audio stream format: E_POINTER for null,
  // E_INVALIDARG for WAV (3) and codes outside 0..5, E_FAIL when the engine
  // has no codec of that name.
  HRESULT GetCodec(LONG format, CodecDescriptor* codec);

  // The silence suppression setting as the host last gave it.
  VARIANT_BOOL SilenceSuppression() const { return silenceSuppression_; }

  // StartListen pauses with this between attempts (Sleep by default).
  void SetSleepForTesting(std::function<void(DWORD)> sleep) { sleep_ = std::move(sleep); }

  // Virtual operations of CMediaHandlerImpl.
  HRESULT DoAddMediaDescription(CT_MEDIA_TYPE mediaType, ISdpContent* outgoingSdp, LONG channelId,
                                BYTE rejected, BYTE hold, const PayloadTypeList& formats,
                                ISdpContent* incomingSdp, LONG mediaIndex) override;
  // The first reservation gives the engine its sound devices.
  HRESULT DoReserveChannel(LONG* plChannelId, VARIANT_BOOL* pbReservationSucceeded) override;
  // Stops the channel's streams and recording before the engine channel and
  // the stream relays go.
  HRESULT DoReleaseChannel(LONG channelId) override;
  // Announces the dynamic payload numbers remembered for the channel (CN
  // left out, "AMR-WB" as "AMRWB").
  HRESULT SetReceiveParameter(CT_MEDIA_TYPE mediaType, ISdpContent* sdp, LONG mediaIndex,
                              LONG channelId, const PayloadTypeList& formats) override;
  HRESULT ResetReceiveParameters(LONG channelId) override;
  // The first common format becomes the send codec; notes the peer's
  // telephone-event and the host's TOS value for StartSending.
  HRESULT SetSendParameter(CT_MEDIA_TYPE mediaType, ISdpContent* sdp, LONG mediaIndex,
                           LONG channelId, const PayloadTypeList& formats) override;
  HRESULT ResetSendParameters(LONG channelId) override;
  // The engine's audio codecs that the preferred formats enable, in their
  // order (engine order for a second codec of a name already taken). CN only
  // with silence suppression VARIANT_TRUE, and once. The engine's "AMRWB" is
  // listed as "AMR-WB" when that spelling is preferred. The media type is
  // not used.
  HRESULT GetSupportedPayloadTypes(CT_MEDIA_TYPE mediaType, PayloadTypeList* formats) override;
  // packet size x 1000 / frequency of the first engine codec of that name
  // ("AMR-WB" finds "AMRWB"); codecs of frequency 0 are passed over. E_FAIL
  // when none matches.
  HRESULT GetDefaultPacketTime(CT_MEDIA_TYPE mediaType, platform::OleStringView codecName,
                               LONG* milliseconds) override;

 protected:
  // Stops the tone timer and every stream before anything else goes.
  ~CGipsMediaHandler() override;

  // Whether Init has succeeded; set once, never cleared.
  bool IsInitialised() const { return initialised_; }

 private:
  // Init's step that applies the default audio settings (silence
  // suppression off, echo cancellation on, gain control off) through the
  // object's own IAudioControl.
  void ApplyDefaultAudioSettings();

  // The tone gate: sends the event and starts the 200 ms tone timer.
  HRESULT PlayTone(LONG channel, LONG event);
  HRESULT EndTone();
  // ITimerCallback: the tone timer ran out.
  void OnTimer(CTimer* timer) override;

  // The stream state of a reserved channel; E_INVALIDARG when there is none.
  HRESULT FindStreams(LONG channel, ChannelStreamState** streams);
  HRESULT StartInStream(LONG channel, LONG format, IAudioSource* source, LONG volume,
                        bool toNetwork);
  HRESULT StopPlayStream(LONG channel, ChannelStreamState& streams);
  HRESULT StopSendStream(LONG channel, ChannelStreamState& streams);
  HRESULT StopRecordStream(ChannelStreamState& streams);
  HRESULT StopConversation(ChannelStreamState& streams);
  // Stops everything that runs on the channel and removes its stream state.
  // A relay whose stop the engine refused is closed and kept until the
  // engine is gone, so the engine never calls a relay that no longer exists.
  void DropStreams(LONG channel);

  // Relays live in these; declared before the engine so that they outlive it.
  std::map<LONG, std::unique_ptr<ChannelStreamState>> streamStates_;
  std::vector<std::unique_ptr<ChannelStreamState>> retiredStreamStates_;

  CKsVoiceEngine voiceEngine_;
  AudioDeviceManager audioDevices_;
  bool initialised_ = false;
  LONG reservedChannelCount_ = 0;
  // Wave device identifiers the audio controls choose; -1 until then.
  LONG playbackDevice_ = -1;
  LONG recordingDevice_ = -1;
  std::vector<platform::OleString> preferredAudioFormats_;
  VARIANT_BOOL silenceSuppression_ = VARIANT_FALSE;

  // What the last SetSendParameter decided, for every later StartSending.
  CodecDescriptor sendCodec_;
  bool telephoneEventNegotiated_ = false;
  LONG telephoneEventPayload_ = -1;
  LONG tosValue_ = 0;

  std::function<void(DWORD)> sleep_;
  bool toneActive_ = false;
  // Last, so that it stops first: it must not fire into a handler that goes.
  CToneTimer toneTimer_;
};
