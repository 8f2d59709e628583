#include "engine/standin/standin_file.h"

#include <new>
#include <string_view>

#include "engine/standin/codec_catalogue.h"
#include "engine/standin/standin_engine.h"

namespace standin {
namespace {

bool IsFileKind(int kind) {
  return kind == kGIPSVEFilePcm || kind == kGIPSVEFileWav || kind == kGIPSVEFileCompressed;
}

// NaN fails both comparisons.
bool IsScale(float scale) { return scale >= 0.0f && scale <= 100.0f; }

// The failure code for a codec record a recording or conversion is given, or
// kNoError when it names a catalogue codec.
int CheckCodec(const EngineCodecRecord& codec) {
  std::string_view name;
  if (!CodecCatalogue::NameOf(codec, &name)) return kInvalidArgument;
  return CodecCatalogue::Find(name, codec.frequency) ? kNoError : kUnsupportedCodec;
}

}  // namespace

int StandInFile::StartPlayingFileLocally(int channel, GIPSVEInStream* stream, int kind,
                                         float scale, int startMs, int stopMs) {
  StandInChannel* state = engine_.ChannelOrFail(channel);
  if (!state) return -1;
  if (!stream || !IsFileKind(kind) || !IsScale(scale) || startMs < 0 || stopMs < 0)
    return engine_.Fail(kInvalidArgument);
  state->localFile = stream;
  return 0;
}

int StandInFile::StopPlayingFileLocally(int channel) {
  StandInChannel* state = engine_.ChannelOrFail(channel);
  if (!state) return -1;
  state->localFile = nullptr;
  return 0;
}

int StandInFile::StartPlayingFileAsMicrophone(int channel, GIPSVEInStream* stream, bool,
                                              int kind, float scale) {
  StandInChannel* state = engine_.ChannelOrFail(channel);
  if (!state) return -1;
  if (!stream || !IsFileKind(kind) || !IsScale(scale)) return engine_.Fail(kInvalidArgument);
  state->microphoneFile = stream;
  return 0;
}

int StandInFile::StopPlayingFileAsMicrophone(int channel) {
  StandInChannel* state = engine_.ChannelOrFail(channel);
  if (!state) return -1;
  state->microphoneFile = nullptr;
  return 0;
}

int StandInFile::StartRecordingPlayout(GIPSVEOutStream* stream, const EngineCodecRecord* codec) {
  if (!stream) return engine_.Fail(kInvalidArgument);
  if (codec) {
    if (int error = CheckCodec(*codec); error != kNoError) return engine_.Fail(error);
  }
  playoutRecording_ = stream;
  return 0;
}

int StandInFile::StopRecordingPlayout() {
  playoutRecording_ = nullptr;
  return 0;
}

int StandInFile::StartRecordingCall(const char* fileName, const EngineCodecRecord* codec,
                                    int maxSizeBytes) {
  if (!fileName || !*fileName || !codec || maxSizeBytes < -1 || maxSizeBytes == 0)
    return engine_.Fail(kInvalidArgument);
  std::string_view name;
  if (!CodecCatalogue::NameOf(*codec, &name)) return engine_.Fail(kInvalidArgument);
  if (!name.empty() && name != "L16") {
    if (int error = CheckCodec(*codec); error != kNoError) return engine_.Fail(error);
  }
  try {
    callFileName_ = fileName;
  } catch (const std::bad_alloc&) {
    return engine_.Fail(kOutOfMemory);
  }
  recordingCall_ = true;
  callPaused_ = false;
  return 0;
}

int StandInFile::PauseRecordingCall(bool pause) {
  callPaused_ = recordingCall_ && pause;
  return 0;
}

int StandInFile::StopRecordingCall() {
  recordingCall_ = false;
  callPaused_ = false;
  return 0;
}

int StandInFile::ConvertWavToPcm(GIPSVEInStream* in, GIPSVEOutStream* out) {
  if (!in || !out) return engine_.Fail(kInvalidArgument);
  return 0;
}

int StandInFile::ConvertPcmToCompressed(GIPSVEInStream* in, GIPSVEOutStream* out,
                                        const EngineCodecRecord* codec) {
  if (!in || !out || !codec) return engine_.Fail(kInvalidArgument);
  if (int error = CheckCodec(*codec); error != kNoError) return engine_.Fail(error);
  return 0;
}

int StandInFile::ConvertCompressedToPcm(GIPSVEInStream* in, GIPSVEOutStream* out) {
  if (!in || !out) return engine_.Fail(kInvalidArgument);
  return 0;
}

void StandInFile::StopAll() {
  playoutRecording_ = nullptr;
  recordingCall_ = false;
  callPaused_ = false;
}

int StandInFile::Release() { return engine_.ReleaseReference(references_); }

}  // namespace standin
