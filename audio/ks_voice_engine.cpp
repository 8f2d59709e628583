#include "audio/ks_voice_engine.h"

#include <cstring>
#include <string>

#include "platform/bstr.h"
#include "platform/trace.h"
#include "platform/wide_text.h"

namespace {

// Version texts fit in this many bytes, the terminator included.
constexpr int kVersionBufferSize = 500;

// Fixed arguments whose meaning belongs to the engine.
constexpr int kInitOptions[] = {0, 0, 0, 0, 1};
constexpr int kEchoMode = 0;
constexpr int kEchoOption1 = 0;
constexpr int kEchoOption2 = 28;
constexpr int kGainMode = 2;
constexpr int kSoundDeviceOptions[] = {0, 0, 2};
constexpr int kTelephoneEventMs = 160;
constexpr int kTelephoneEventAttenuationDb = 10;

int Flag(VARIANT_BOOL value) { return value != 0 ? 1 : 0; }

}  // namespace

CKsVoiceEngine::CKsVoiceEngine() : factory_(&CurrentEngineFactory()) {
  engine_ = factory_->Create();
  if (!engine_) {
    platform::Trace("CKsVoiceEngine::CKsVoiceEngine, no voice engine");
    return;
  }
  base_ = factory_->GetBase(engine_);
  codec_ = factory_->GetCodec(engine_);
  vqe_ = factory_->GetVqe(engine_);
  file_ = factory_->GetFile(engine_);
  volume_ = factory_->GetVolumeControl(engine_);
  hardware_ = factory_->GetHardware(engine_);
  videoSync_ = factory_->GetVideoSync(engine_);
  network_ = factory_->GetNetwork(engine_);
  dtmf_ = factory_->GetDtmf(engine_);
  if (base_ && codec_ && vqe_ && file_ && volume_ && hardware_ && videoSync_ && network_ && dtmf_)
    return;
  platform::Trace("CKsVoiceEngine::CKsVoiceEngine, an engine interface is missing");
  ReleaseInterfaces();
  factory_->Delete(engine_);
  engine_ = nullptr;
}

CKsVoiceEngine::~CKsVoiceEngine() {
  if (!engine_) return;
  if (initialised_) base_->Terminate();
  ReleaseInterfaces();
  if (!factory_->Delete(engine_))
    platform::Trace("CKsVoiceEngine::~CKsVoiceEngine, the engine refused to be deleted");
}

void CKsVoiceEngine::ReleaseInterfaces() {
  auto release = [](auto*& handle) {
    if (handle) handle->Release();
    handle = nullptr;
  };
  release(dtmf_);
  release(network_);
  release(videoSync_);
  release(hardware_);
  release(volume_);
  release(file_);
  release(vqe_);
  release(codec_);
  release(base_);
}

HRESULT CKsVoiceEngine::Check(int result) {
  return result == -1 ? EngineErrorToHresult(base_->LastError()) : S_OK;
}

HRESULT CKsVoiceEngine::Init() {
  if (!HasEngine()) return E_UNEXPECTED;
  if (initialised_) return S_OK;
  HRESULT hr = Check(base_->Init(kInitOptions[0], kInitOptions[1], kInitOptions[2], kInitOptions[3],
                                 kInitOptions[4]));
  if (SUCCEEDED(hr)) initialised_ = true;
  return hr;
}

HRESULT CKsVoiceEngine::GetVersion(BSTR* version) {
  if (!version) return E_POINTER;
  *version = nullptr;
  if (!HasEngine()) return E_UNEXPECTED;
  char buffer[kVersionBufferSize] = {};
  HRESULT hr = Check(base_->GetVersion(buffer, kVersionBufferSize));
  if (FAILED(hr)) return hr;
  buffer[kVersionBufferSize - 1] = '\0';
  *version = platform::AllocBstr(std::string_view(buffer));
  return *version ? S_OK : E_OUTOFMEMORY;
}

HRESULT CKsVoiceEngine::CreateChannel(LONG* channel, VARIANT_BOOL* ok) {
  if (!channel || !ok) return E_POINTER;
  if (!HasEngine()) return E_UNEXPECTED;
  *channel = base_->CreateChannel();
  *ok = *channel >= 0 ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT CKsVoiceEngine::DeleteChannel(LONG channel) {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(base_->DeleteChannel(channel));
}

HRESULT CKsVoiceEngine::SetLocalReceiver(LONG channel, LONG port) {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(base_->SetLocalReceiver(channel, port, -1, nullptr, nullptr));
}

HRESULT CKsVoiceEngine::SetSendDestination(LONG channel, LONG port, const OLECHAR* ip,
                                           LONG sourcePort, LONG rtcpPort) {
  if (!HasEngine()) return E_UNEXPECTED;
  std::string narrowIp = platform::WideToNarrow(ip);
  return Check(base_->SetSendDestination(channel, port, narrowIp.c_str(), sourcePort, rtcpPort));
}

HRESULT CKsVoiceEngine::StartListen(LONG channel) {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(base_->StartListen(channel));
}

HRESULT CKsVoiceEngine::StartPlayout(LONG channel) {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(base_->StartPlayout(channel));
}

HRESULT CKsVoiceEngine::StartSend(LONG channel) {
  if (!HasEngine()) return E_UNEXPECTED;
  int result = base_->StartSend(channel);
  // Read in every case, as the engine's own error reporting expects.
  int error = base_->LastError();
  if (result == -1) return EngineErrorToHresult(error);
  if (dtmfPayloadType_ != -1) {
    HRESULT hr = SetDtmfPayloadType(channel, dtmfPayloadType_);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT CKsVoiceEngine::StopListen(LONG channel) {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(base_->StopListen(channel));
}

HRESULT CKsVoiceEngine::StopPlayout(LONG channel) {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(base_->StopPlayout(channel));
}

HRESULT CKsVoiceEngine::StopSend(LONG channel) {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(base_->StopSend(channel));
}

LONG CKsVoiceEngine::LastError() { return HasEngine() ? base_->LastError() : -1; }

HRESULT CKsVoiceEngine::GetNumOfCodecs(LONG* count) {
  if (!count) return E_POINTER;
  if (!HasEngine()) return E_UNEXPECTED;
  *count = codec_->NumOfCodecs();
  return Check(*count);
}

HRESULT CKsVoiceEngine::GetCodecAt(SHORT index, CodecDescriptor* codec) {
  if (!codec) return E_POINTER;
  if (!HasEngine()) return E_UNEXPECTED;
  EngineCodecRecord record;
  std::memset(&record, 0, sizeof record);
  int result = codec_->GetCodec(index, record);
  *codec = CodecDescriptor::FromEngineRecord(record);
  return Check(result);
}

HRESULT CKsVoiceEngine::SetSendCodec(LONG channel, const CodecDescriptor& codec) {
  if (!HasEngine()) return E_UNEXPECTED;
  EngineCodecRecord record = codec.ToEngineRecord();
  int result = codec_->SetSendCodec(channel, record);
  int error = base_->LastError();
  return result == -1 ? EngineErrorToHresult(error) : S_OK;
}

HRESULT CKsVoiceEngine::put_RecPayloadType(SHORT channel, const CodecDescriptor& codec) {
  if (!HasEngine()) return E_UNEXPECTED;
  EngineCodecRecord record = codec.ToEngineRecord();
  return Check(codec_->SetRecPayloadType(channel, record));
}

HRESULT CKsVoiceEngine::SetVAD(LONG channel, VARIANT_BOOL enable) {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(codec_->SetVADStatus(channel, Flag(enable), 0, 0));
}

HRESULT CKsVoiceEngine::FindCodecByName(const OLECHAR* name, CodecDescriptor* codec) {
  if (!codec) return E_POINTER;
  LONG count = 0;
  HRESULT hr = GetNumOfCodecs(&count);
  if (FAILED(hr)) return hr;
  platform::OleStringView wanted(name ? name : MEDLEY_OLESTR(""), platform::WideLength(name));
  for (LONG index = 0; index < count && index <= 0x7FFF; ++index) {
    hr = GetCodecAt(static_cast<SHORT>(index), codec);
    if (FAILED(hr)) return hr;
    if (codec->Name() == wanted) return S_OK;
  }
  return E_FAIL;
}

HRESULT CKsVoiceEngine::SetSendTOS(LONG channel, LONG tos) {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(network_->SetSendTOS(channel, tos, 0));
}

HRESULT CKsVoiceEngine::SetDtmfPayloadType(LONG channel, LONG payloadType) {
  if (!HasEngine()) return E_UNEXPECTED;
  dtmfPayloadType_ = payloadType;
  return Check(dtmf_->SetDTMFPayloadType(channel, payloadType));
}

HRESULT CKsVoiceEngine::SendTelephoneEvent(LONG channel, LONG eventCode, bool outOfBand) {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(dtmf_->SendTelephoneEvent(channel, eventCode, outOfBand, kTelephoneEventMs,
                                         kTelephoneEventAttenuationDb));
}

HRESULT CKsVoiceEngine::SetSoundDevices(LONG recordingDevice, LONG playbackDevice) {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(hardware_->SetSoundDevices(recordingDevice, playbackDevice, kSoundDeviceOptions[0],
                                          kSoundDeviceOptions[1], kSoundDeviceOptions[2]));
}

HRESULT CKsVoiceEngine::SetEchoCancellation(bool enable) {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(vqe_->SetECStatus(enable, kEchoMode, kEchoOption1, kEchoOption2));
}

HRESULT CKsVoiceEngine::SetGainControl(VARIANT_BOOL enable) {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(vqe_->SetAGCStatus(Flag(enable), kGainMode));
}

HRESULT CKsVoiceEngine::SetMicVolume(LONG level) {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(volume_->SetMicVolume(level));
}

HRESULT CKsVoiceEngine::GetMicVolume(LONG* level) {
  if (!level) return E_POINTER;
  if (!HasEngine()) return E_UNEXPECTED;
  int value = 0;
  int result = volume_->GetMicVolume(value);
  *level = value;
  // A failing engine may answer -1 through the result or through the level.
  return Check(result == -1 || value == -1 ? -1 : 0);
}

HRESULT CKsVoiceEngine::GetMicLevel(LONG* level) {
  if (!level) return E_POINTER;
  if (!HasEngine()) return E_UNEXPECTED;
  int value = 0;
  int result = volume_->GetMicLevel(value);
  *level = value;
  // A failing engine may answer -1 through the result or through the level.
  return Check(result == -1 || value == -1 ? -1 : 0);
}

HRESULT CKsVoiceEngine::GetSpeakerLevel(LONG* level) {
  if (!level) return E_POINTER;
  if (!HasEngine()) return E_UNEXPECTED;
  int value = 0;
  int result = volume_->GetSpeakerLevel(-1, value);
  *level = value;
  // A failing engine may answer -1 through the result or through the level.
  return Check(result == -1 || value == -1 ? -1 : 0);
}

HRESULT CKsVoiceEngine::SetInputMute(LONG channel, bool mute) {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(volume_->SetInputMute(channel, mute));
}

HRESULT CKsVoiceEngine::StartPlayingFileLocally(LONG channel, GIPSVEInStream* stream, LONG kind,
                                                float scale) {
  if (!stream) return E_POINTER;
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(file_->StartPlayingFileLocally(channel, stream, kind, scale, 0, 0));
}

HRESULT CKsVoiceEngine::StopPlayingFileLocally(LONG channel) {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(file_->StopPlayingFileLocally(channel));
}

HRESULT CKsVoiceEngine::StartPlayingFileAsMicrophone(LONG channel, GIPSVEInStream* stream,
                                                     LONG kind, float scale, bool mix) {
  if (!stream) return E_POINTER;
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(file_->StartPlayingFileAsMicrophone(channel, stream, mix, kind, scale));
}

HRESULT CKsVoiceEngine::StopPlayingFileAsMicrophone(LONG channel) {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(file_->StopPlayingFileAsMicrophone(channel));
}

HRESULT CKsVoiceEngine::StartRecordingPlayout(GIPSVEOutStream* stream) {
  if (!stream) return E_POINTER;
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(file_->StartRecordingPlayout(stream, nullptr));
}

HRESULT CKsVoiceEngine::StartRecordingPlayout(const CodecDescriptor& codec,
                                              GIPSVEOutStream* stream) {
  if (!stream) return E_POINTER;
  if (!HasEngine()) return E_UNEXPECTED;
  EngineCodecRecord record = codec.ToEngineRecord();
  return Check(file_->StartRecordingPlayout(stream, &record));
}

HRESULT CKsVoiceEngine::StopRecordingPlayout() {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(file_->StopRecordingPlayout());
}

HRESULT CKsVoiceEngine::ConvertWavToPcm(GIPSVEInStream* in, GIPSVEOutStream* out) {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(file_->ConvertWavToPcm(in, out));
}

HRESULT CKsVoiceEngine::ConvertCompressedToPcm(GIPSVEInStream* in, GIPSVEOutStream* out) {
  if (!in || !out) return E_POINTER;
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(file_->ConvertCompressedToPcm(in, out));
}

HRESULT CKsVoiceEngine::ConvertPcmToCompressed(GIPSVEInStream* in, const CodecDescriptor& codec,
                                               GIPSVEOutStream* out) {
  if (!in || !out) return E_POINTER;
  if (!HasEngine()) return E_UNEXPECTED;
  EngineCodecRecord record = codec.ToEngineRecord();
  return Check(file_->ConvertPcmToCompressed(in, out, &record));
}

HRESULT CKsVoiceEngine::StartRecordingCall(const CodecDescriptor& codec, const char* fileName) {
  if (!HasEngine()) return E_UNEXPECTED;
  EngineCodecRecord record = codec.ToEngineRecord();
  return Check(file_->StartRecordingCall(fileName, &record, -1));
}

HRESULT CKsVoiceEngine::PauseRecordingCall(bool pause) {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(file_->PauseRecordingCall(pause));
}

HRESULT CKsVoiceEngine::StopRecordingCall() {
  if (!HasEngine()) return E_UNEXPECTED;
  return Check(file_->StopRecordingCall());
}
