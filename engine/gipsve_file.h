// Playing audio from streams, recording into streams and files, and format
// conversion between streams. The engine calls the streams on its own
// threads until the matching stop (or the end of a conversion); the caller
// keeps them alive until then.
#pragma once

#include "engine/engine_codec_record.h"
#include "engine/engine_streams.h"
#include "engine/gipsve_export.h"

class GIPSVoiceEngine;

// How the engine reads a stream it plays.
enum GIPSVEFileKind : int {
  kGIPSVEFilePcm = 0,         // uncompressed 16-bit PCM, no header
  kGIPSVEFileWav = 1,         // a WAV file
  kGIPSVEFileCompressed = 2,  // coded frames (AMR and iLBC data begin with their magic line)
};

class GIPSVEFile {
 public:
  static GIPSVE_API GIPSVEFile* GetInterface(GIPSVoiceEngine* engine);

  // Plays `stream` to the local speaker with volume factor `scale`; `startMs`
  // and `stopMs` 0 play all of it.
  virtual int StartPlayingFileLocally(int channel, GIPSVEInStream* stream, int kind, float scale,
                                      int startMs, int stopMs) = 0;
  virtual int StopPlayingFileLocally(int channel) = 0;
  // Sends `stream` as the channel's microphone signal, mixed with the real
  // microphone when `mix` is true.
  virtual int StartPlayingFileAsMicrophone(int channel, GIPSVEInStream* stream, bool mix, int kind,
                                           float scale) = 0;
  virtual int StopPlayingFileAsMicrophone(int channel) = 0;
  // Records what the engine plays out; a null codec records uncompressed PCM.
  virtual int StartRecordingPlayout(GIPSVEOutStream* stream, const EngineCodecRecord* codec) = 0;
  virtual int StopRecordingPlayout() = 0;
  // Records the whole conversation into the named file; `maxSizeBytes` -1
  // sets no limit.
  virtual int StartRecordingCall(const char* fileName, const EngineCodecRecord* codec,
                                 int maxSizeBytes) = 0;
  virtual int PauseRecordingCall(bool pause) = 0;
  virtual int StopRecordingCall() = 0;
  // Conversions run to the end of the input before they return.
  virtual int ConvertWavToPcm(GIPSVEInStream* in, GIPSVEOutStream* out) = 0;
  virtual int ConvertPcmToCompressed(GIPSVEInStream* in, GIPSVEOutStream* out,
                                     const EngineCodecRecord* codec) = 0;
  virtual int ConvertCompressedToPcm(GIPSVEInStream* in, GIPSVEOutStream* out) = 0;
  virtual int Release() = 0;

 protected:
  ~GIPSVEFile() = default;
};
