// The stand-in's stream and file interface. It checks what it is given and
// opens the stream or file on the caller's thread; the media thread then
// plays and records it (media_engine.h) at the engine rate, 16 kHz. The
// three conversions run to the end of their input on the caller's thread
// (files/audio_conversion.h).
#pragma once

#include "engine/gipsve_file.h"
#include "engine/standin/interface_reference.h"

namespace standin {

class StandInEngine;

class StandInFile final : public GIPSVEFile {
 public:
  explicit StandInFile(StandInEngine& engine) : engine_(engine) {}
  StandInFile(const StandInFile&) = delete;
  StandInFile& operator=(const StandInFile&) = delete;

  // Hands out the interface with a new reference.
  GIPSVEFile* Acquire() {
    references_.Acquire();
    return this;
  }
  bool Held() const { return references_.Count() > 0; }

  int StartPlayingFileLocally(int channel, GIPSVEInStream* stream, int kind, float scale,
                              int startMs, int stopMs) override;
  int StopPlayingFileLocally(int channel) override;
  int StartPlayingFileAsMicrophone(int channel, GIPSVEInStream* stream, bool mix, int kind,
                                   float scale) override;
  int StopPlayingFileAsMicrophone(int channel) override;
  // A non-null codec must be a catalogue codec.
  int StartRecordingPlayout(GIPSVEOutStream* stream, const EngineCodecRecord* codec) override;
  int StopRecordingPlayout() override;
  // The codec's name chooses the file format: empty records with the
  // engine's default, "L16" records 16-bit linear PCM, any other name must be
  // a catalogue codec.
  int StartRecordingCall(const char* fileName, const EngineCodecRecord* codec,
                         int maxSizeBytes) override;
  int PauseRecordingCall(bool pause) override;
  int StopRecordingCall() override;
  int ConvertWavToPcm(GIPSVEInStream* in, GIPSVEOutStream* out) override;
  int ConvertPcmToCompressed(GIPSVEInStream* in, GIPSVEOutStream* out,
                             const EngineCodecRecord* codec) override;
  int ConvertCompressedToPcm(GIPSVEInStream* in, GIPSVEOutStream* out) override;
  int Release() override;

 private:
  StandInEngine& engine_;
  InterfaceReference references_;
};

}  // namespace standin
