#include "engine/standin/standin_file.h"

#include <new>
#include <string>
#include <string_view>

#include "engine/standin/audio_file.h"
#include "engine/standin/codec_catalogue.h"
#include "engine/standin/file_player.h"
#include "engine/standin/files/audio_conversion.h"
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

int StandInFile::StartPlayingFileLocally(int channel, GIPSVEInStream* stream, int kind, float scale,
                                         int startMs, int stopMs) {
  if (!engine_.ChannelOrFail(channel)) return -1;
  if (!stream || !IsFileKind(kind) || !IsScale(scale) || startMs < 0 || stopMs < 0)
    return engine_.Fail(kInvalidArgument);
  // The stream's header is read here, on the caller's thread; the media
  // thread reads the rest.
  int error = kNoError;
  std::shared_ptr<FilePlayer> player =
      FilePlayer::Open(stream, kind, scale, startMs, stopMs, &error);
  if (!player) return engine_.Fail(error != kNoError ? error : kInvalidArgument);
  // The channel's state changes under the engine lock: the stream may stop
  // itself from the media thread as soon as it is published.
  error = engine_.Media().WithChannel(channel, [&](MediaChannel& media) {
    player = media.PlayLocally(std::move(player));
    return kNoError;
  });
  if (player) player->Stop(MediaEngine::kStopWait);  // the one replaced, or the one refused
  if (error != kNoError) return engine_.Fail(error);
  return 0;
}

int StandInFile::StopPlayingFileLocally(int channel) {
  if (!engine_.ChannelOrFail(channel)) return -1;
  std::shared_ptr<FilePlayer> stopped;
  const int error = engine_.Media().WithChannel(channel, [&](MediaChannel& media) {
    stopped = media.PlayLocally(nullptr);
    return kNoError;
  });
  if (stopped) stopped->Stop(MediaEngine::kStopWait);
  if (error != kNoError) return engine_.Fail(error);
  return 0;
}

int StandInFile::StartPlayingFileAsMicrophone(int channel, GIPSVEInStream* stream, bool mix,
                                              int kind, float scale) {
  if (!engine_.ChannelOrFail(channel)) return -1;
  if (!stream || !IsFileKind(kind) || !IsScale(scale)) return engine_.Fail(kInvalidArgument);
  int error = kNoError;
  std::shared_ptr<FilePlayer> player = FilePlayer::Open(stream, kind, scale, 0, 0, &error);
  if (!player) return engine_.Fail(error != kNoError ? error : kInvalidArgument);
  error = engine_.Media().WithChannel(channel, [&](MediaChannel& media) {
    player = media.PlayAsMicrophone(std::move(player), mix);
    return kNoError;
  });
  if (player) player->Stop(MediaEngine::kStopWait);
  if (error != kNoError) return engine_.Fail(error);
  return 0;
}

int StandInFile::StopPlayingFileAsMicrophone(int channel) {
  if (!engine_.ChannelOrFail(channel)) return -1;
  std::shared_ptr<FilePlayer> stopped;
  const int error = engine_.Media().WithChannel(channel, [&](MediaChannel& media) {
    stopped = media.PlayAsMicrophone(nullptr, true);
    return kNoError;
  });
  if (stopped) stopped->Stop(MediaEngine::kStopWait);
  if (error != kNoError) return engine_.Fail(error);
  return 0;
}

int StandInFile::StartRecordingPlayout(GIPSVEOutStream* stream, const EngineCodecRecord* codec) {
  if (!stream) return engine_.Fail(kInvalidArgument);
  if (codec) {
    if (int error = CheckCodec(*codec); error != kNoError) return engine_.Fail(error);
  }
  int error = kNoError;
  std::shared_ptr<FileRecorder> recorder = FileRecorder::ForStream(stream, codec, &error);
  if (!recorder) return engine_.Fail(error != kNoError ? error : kInvalidArgument);
  if (error = engine_.Media().StartRecordingPlayout(std::move(recorder)); error != kNoError)
    return engine_.Fail(error);
  return 0;
}

int StandInFile::StopRecordingPlayout() {
  engine_.Media().StopRecordingPlayout();
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
  std::string path;
  try {
    path = fileName;
  } catch (const std::bad_alloc&) {
    return engine_.Fail(kOutOfMemory);
  }
  // Both directions mixed, at the engine rate; a nameless codec records WAV.
  int error = kNoError;
  std::shared_ptr<FileRecorder> recorder =
      FileRecorder::ForFile(path, name.empty() ? nullptr : codec, &error);
  if (!recorder) return engine_.Fail(error != kNoError ? error : kInvalidArgument);
  if (error = engine_.Media().StartRecordingCall(std::move(recorder), maxSizeBytes);
      error != kNoError)
    return engine_.Fail(error);
  return 0;
}

// A pause without a recording is forgotten when the next one starts.
int StandInFile::PauseRecordingCall(bool pause) {
  engine_.Media().PauseRecordingCall(pause);
  return 0;
}

int StandInFile::StopRecordingCall() {
  engine_.Media().StopRecordingCall();
  return 0;
}

// The conversions run to the end of the input on the caller's thread.
int StandInFile::ConvertWavToPcm(GIPSVEInStream* in, GIPSVEOutStream* out) {
  if (!in || !out) return engine_.Fail(kInvalidArgument);
  if (int error = ConvertWavStreamToPcm(in, out); error != kNoError) return engine_.Fail(error);
  return 0;
}

int StandInFile::ConvertPcmToCompressed(GIPSVEInStream* in, GIPSVEOutStream* out,
                                        const EngineCodecRecord* codec) {
  if (!in || !out || !codec) return engine_.Fail(kInvalidArgument);
  if (int error = CheckCodec(*codec); error != kNoError) return engine_.Fail(error);
  if (int error = CompressPcmStream(in, out, *codec); error != kNoError) return engine_.Fail(error);
  return 0;
}

int StandInFile::ConvertCompressedToPcm(GIPSVEInStream* in, GIPSVEOutStream* out) {
  if (!in || !out) return engine_.Fail(kInvalidArgument);
  if (int error = DecompressStream(in, out); error != kNoError) return engine_.Fail(error);
  return 0;
}

int StandInFile::Release() { return engine_.ReleaseReference(references_); }

}  // namespace standin
