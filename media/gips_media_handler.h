// CGipsMediaHandler: the media handler over the voice engine. It owns one
// CKsVoiceEngine and supplies the engine-specific operations of
// CMediaHandlerImpl: the local codec list (the engine's codecs filtered and
// ordered by the preferred audio formats), codec packet times, the audio
// media line it writes into offers and answers, and channel reservation.
//
// The source is split by concern: gips_media_handler.cpp (object, Init,
// audio settings), gips_media_handler_negotiation.cpp (codec catalogue and
// media line), gips_media_handler_channels.cpp (channels and streaming).
//
// Called on the host's apartment thread only; no locks.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/ks_voice_engine.h"
#include "media/media_handler_impl.h"
#include "platform/com_ptr.h"
#include "platform/wide_text.h"

class CGipsMediaHandler : public CMediaHandlerImpl {
 public:
  // A new handler with one reference; its adapter takes the engine from the
  // current engine factory.
  static platform::ComPtr<CGipsMediaHandler> Create();
  CGipsMediaHandler();

  // IMediaHandler: the object (gips_media_handler.cpp).
  HRESULT STDMETHODCALLTYPE get_Version(BSTR* pbstrVersion) override;
  HRESULT STDMETHODCALLTYPE get_VendorInformation(BSTR* pbstrVendorInformation) override;
  HRESULT STDMETHODCALLTYPE Init(INetwork* pNetwork) override;

  // IMediaHandler: streaming on a channel (gips_media_handler_channels.cpp).
  HRESULT STDMETHODCALLTYPE StartListen(LONG lChannelId) override;
  HRESULT STDMETHODCALLTYPE StopListen(LONG lChannelId) override;
  HRESULT STDMETHODCALLTYPE StartPlayout(LONG lChannelId) override;
  HRESULT STDMETHODCALLTYPE StopPlayout(LONG lChannelId) override;
  HRESULT STDMETHODCALLTYPE StartSending(LONG lChannelId) override;
  HRESULT STDMETHODCALLTYPE StopSending(LONG lChannelId) override;

  // Audio settings that negotiation reads, with the meaning the audio
  // control interface gives them (it forwards to these).
  // Appends a codec name to the preferred formats (duplicates kept);
  // E_POINTER for null.
  HRESULT AddPreferredAudioFormat(BSTR codecName);
  HRESULT ClearPreferredAudioFormats();
  // Stored as given. Only VARIANT_TRUE offers CN and writes annexb=yes;
  // any non-zero value turns voice activity detection on when sending.
  HRESULT SetSilenceSuppression(VARIANT_BOOL enable);
  const std::vector<platform::OleString>& PreferredAudioFormats() const {
    return preferredAudioFormats_;
  }
  VARIANT_BOOL SilenceSuppression() const { return silenceSuppression_; }

  // Virtual operations of CMediaHandlerImpl.
  HRESULT DoAddMediaDescription(CT_MEDIA_TYPE mediaType, ISdpContent* outgoingSdp, LONG channelId,
                                BYTE rejected, BYTE hold, const PayloadTypeList& formats,
                                ISdpContent* incomingSdp, LONG mediaIndex) override;
  HRESULT DoReserveChannel(LONG* plChannelId, VARIANT_BOOL* pbReservationSucceeded) override;
  HRESULT DoReleaseChannel(LONG channelId) override;
  HRESULT SetReceiveParameter(CT_MEDIA_TYPE mediaType, ISdpContent* sdp, LONG mediaIndex,
                              LONG channelId, const PayloadTypeList& formats) override;
  HRESULT ResetReceiveParameters(LONG channelId) override;
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
  ~CGipsMediaHandler() override;

 private:
  // Init's step that applies the default audio settings (silence
  // suppression off, echo cancellation on, gain control off) through the
  // audio control interface. Does nothing until that interface exists.
  void ApplyDefaultAudioSettings();

  CKsVoiceEngine voiceEngine_;
  bool initialised_ = false;
  LONG reservedChannelCount_ = 0;
  // Wave device identifiers the audio controls choose; -1 until then.
  LONG playbackDevice_ = -1;
  LONG recordingDevice_ = -1;
  std::vector<platform::OleString> preferredAudioFormats_;
  VARIANT_BOOL silenceSuppression_ = VARIANT_FALSE;
};
