// CKsVoiceEngine: the one place where the plug-in talks to the voice engine.
// Each operation makes one engine call (StartSend may add a second) and turns
// the engine's int result into a COM status:
// - -1 is a failure: the engine's last error code becomes
//   0x80040000 + code (see EngineErrorToHresult);
// - any other result is S_OK;
// - a null out-pointer (or stream, where noted) gives E_POINTER before the
//   engine is called;
// - when no engine could be made, every operation that needs it answers
//   E_UNEXPECTED.
// Operations other than Init and GetVoiceEngine are meant for after a
// successful Init; the adapter does not check that. It takes no locks: call
// it from the thread that owns the media handler.
#pragma once

#include "audio/codec_descriptor.h"
#include "audio/engine_factory.h"
#include "engine/voice_engine.h"
#include "medley/com_base.h"

// The COM status of engine error `code`: a FACILITY_ITF failure whose low
// word is the code (8003 gives 0x80041F43).
constexpr HRESULT EngineErrorToHresult(int code) {
  return static_cast<HRESULT>(0x80040000u + static_cast<unsigned>(code));
}

class CKsVoiceEngine {
 public:
  // Creates the engine through the current EngineFactory and takes its nine
  // interfaces.
  CKsVoiceEngine();
  // Terminates the engine if Init succeeded, gives the interfaces back in
  // reverse order and deletes the engine.
  virtual ~CKsVoiceEngine();
  CKsVoiceEngine(const CKsVoiceEngine&) = delete;
  CKsVoiceEngine& operator=(const CKsVoiceEngine&) = delete;

  // Starts the engine once; later calls succeed without an engine call.
  HRESULT Init();
  // The engine object (handed to the host); null when none could be made.
  GIPSVoiceEngine* GetVoiceEngine() const { return engine_; }
  HRESULT GetVersion(BSTR* version);

  // Stores the new channel number (or -1) in `channel` and reports success
  // through `ok` only; the result is S_OK unless a pointer is null.
  HRESULT CreateChannel(LONG* channel, VARIANT_BOOL* ok);
  HRESULT DeleteChannel(LONG channel);
  HRESULT SetLocalReceiver(LONG channel, LONG port);
  // `ip` is a wide string (null reads as ""); the handler passes -1, -1 for
  // the two ports (engine defaults).
  HRESULT SetSendDestination(LONG channel, LONG port, const OLECHAR* ip, LONG sourcePort,
                             LONG rtcpPort);
  HRESULT StartListen(LONG channel);
  HRESULT StartPlayout(LONG channel);
  // Starts sending, then re-applies the telephone-event payload type last
  // given to SetDtmfPayloadType, so that it survives a restart.
  HRESULT StartSend(LONG channel);
  HRESULT StopListen(LONG channel);
  HRESULT StopPlayout(LONG channel);
  HRESULT StopSend(LONG channel);
  // The engine's last error code; -1 when there is no engine.
  LONG LastError();

  HRESULT GetNumOfCodecs(LONG* count);
  // Fills `codec` from engine entry `index`; the descriptor is overwritten
  // even when the engine fails.
  HRESULT GetCodecAt(SHORT index, CodecDescriptor* codec);
  HRESULT SetSendCodec(LONG channel, const CodecDescriptor& codec);
  HRESULT put_RecPayloadType(SHORT channel, const CodecDescriptor& codec);
  HRESULT SetVAD(LONG channel, VARIANT_BOOL enable);
  // The first engine codec whose name equals `name` exactly (case matters);
  // E_FAIL when there is none, an engine failure ends the search with it.
  HRESULT FindCodecByName(const OLECHAR* name, CodecDescriptor* codec);

  // `tos` is the type-of-service byte as sent.
  HRESULT SetSendTOS(LONG channel, LONG tos);
  // Remembers the payload type (even when the engine refuses it) for StartSend.
  HRESULT SetDtmfPayloadType(LONG channel, LONG payloadType);
  // A 160 ms event at attenuation 10 dB.
  HRESULT SendTelephoneEvent(LONG channel, LONG eventCode, bool outOfBand);
  // Wave device identifiers.
  HRESULT SetSoundDevices(LONG recordingDevice, LONG playbackDevice);

  HRESULT SetEchoCancellation(bool enable);
  HRESULT SetGainControl(VARIANT_BOOL enable);
  // Level 0 to 255.
  HRESULT SetMicVolume(LONG level);
  HRESULT GetMicVolume(LONG* level);
  // Current microphone signal level, 0 to 9.
  HRESULT GetMicLevel(LONG* level);
  // Current speaker signal level over all channels, 0 to 9.
  HRESULT GetSpeakerLevel(LONG* level);
  HRESULT SetInputMute(LONG channel, bool mute);

  // Streams stay owned by the caller and must live until the matching stop
  // (or the end of the conversion). `kind` is a GIPSVEFileKind; `scale` the
  // volume factor (1.0 unchanged).
  HRESULT StartPlayingFileLocally(LONG channel, GIPSVEInStream* stream, LONG kind, float scale);
  HRESULT StopPlayingFileLocally(LONG channel);
  HRESULT StartPlayingFileAsMicrophone(LONG channel, GIPSVEInStream* stream, LONG kind, float scale,
                                       bool mix);
  HRESULT StopPlayingFileAsMicrophone(LONG channel);
  // Records the playout uncompressed, or with `codec`.
  HRESULT StartRecordingPlayout(GIPSVEOutStream* stream);
  HRESULT StartRecordingPlayout(const CodecDescriptor& codec, GIPSVEOutStream* stream);
  HRESULT StopRecordingPlayout();
  // Null streams go to the engine, which refuses them.
  HRESULT ConvertWavToPcm(GIPSVEInStream* in, GIPSVEOutStream* out);
  HRESULT ConvertCompressedToPcm(GIPSVEInStream* in, GIPSVEOutStream* out);
  HRESULT ConvertPcmToCompressed(GIPSVEInStream* in, const CodecDescriptor& codec,
                                 GIPSVEOutStream* out);
  // Records the conversation into the file named in the 8-bit code page.
  HRESULT StartRecordingCall(const CodecDescriptor& codec, const char* fileName);
  HRESULT PauseRecordingCall(bool pause);
  HRESULT StopRecordingCall();

 private:
  // S_OK, or the failure for the engine's last error when `result` is -1.
  HRESULT Check(int result);
  // Construction takes all nine interfaces or none.
  bool HasEngine() const { return base_ != nullptr; }
  void ReleaseInterfaces();

  GIPSVoiceEngine* engine_ = nullptr;
  GIPSVEBase* base_ = nullptr;
  GIPSVECodec* codec_ = nullptr;
  GIPSVEVQE* vqe_ = nullptr;
  GIPSVEFile* file_ = nullptr;
  GIPSVEVolumeControl* volume_ = nullptr;
  GIPSVEHardware* hardware_ = nullptr;
  GIPSVEVideoSync* videoSync_ = nullptr;
  GIPSVENetwork* network_ = nullptr;
  GIPSVEDTMF* dtmf_ = nullptr;
  bool initialised_ = false;
  LONG dtmfPayloadType_ = -1;  // -1: none given yet
  // The factory that made the engine; it also deletes it.
  EngineFactory* factory_;
};
