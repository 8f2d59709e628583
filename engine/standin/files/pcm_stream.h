// The inside of the file layer: every file kind is read as a PcmSource and
// written as a PcmSink of 16-bit mono PCM at the kind's own rate;
// FileAudioReader and FileAudioWriter put a resampler in front.
//
// The kinds:
//   0  headerless 16-bit little-endian mono PCM at kPcmFileRate (16 kHz, the
//      rate of the engine's uncompressed IPCMWB audio)
//   1  WAV: read in any channel count (mixed down to mono); recordings are
//      written as 16-bit mono PCM
//   2  coded frames of one codec (compressed_file.h)
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/engine_codec_record.h"
#include "engine/engine_streams.h"

namespace standin {

constexpr int kPcmFileRate = 16000;

class PcmSource {
 public:
  virtual ~PcmSource() = default;
  virtual int SampleRate() const = 0;
  // Copies up to `count` samples; fewer only at the end of the data, then 0.
  virtual std::size_t Read(std::int16_t* pcm, std::size_t count) = 0;
};

class PcmSink {
 public:
  virtual ~PcmSink() = default;
  virtual int SampleRate() const = 0;
  // False once anything could not be stored.
  virtual bool Write(const std::int16_t* pcm, std::size_t count) = 0;
  // Writes what is still pending (a last partial frame is completed with
  // silence); false when anything failed since the sink was opened.
  virtual bool Finish() = 0;
};

// The sample rates callers may ask the file layer for (1 kHz to 384 kHz).
bool IsFileSampleRate(int sampleRate);

// The audio of `stream` read as file kind `kind` (see above); null with
// `error` set to an engine error code when it cannot be read.
std::unique_ptr<PcmSource> OpenPcmSource(GIPSVEInStream* stream, int kind,
                                         const EngineCodecRecord* codec, int* error);
// A sink writing kind 0 when `codec` is null, else the codec's frames.
std::unique_ptr<PcmSink> OpenPcmSink(GIPSVEOutStream* stream, const EngineCodecRecord* codec,
                                     int* error);

}  // namespace standin
