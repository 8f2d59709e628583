// Audio files and streams as the engine reads and writes them through the
// stream contract: uncompressed 16-bit PCM (kind 0), WAV (kind 1) and
// compressed frames of one codec (kind 2, AMR and iLBC behind their magic
// line), always handed to the engine's media code as 20 ms PCM frames.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/engine_codec_record.h"
#include "engine/engine_streams.h"

namespace standin {

// Reads a stream as PCM frames at `sampleRate`, converting rate and format.
class FileAudioReader {
 public:
  virtual ~FileAudioReader() = default;
  // Fills `samples` samples; true while the frame holds data (a last
  // partial frame is completed with silence), false once no data is left
  // (the frame is then all silence).
  virtual bool ReadFrame(std::int16_t* pcm, int samples) = 0;
};

// Writes PCM frames at `sampleRate` into a stream, encoding as asked.
class FileAudioWriter {
 public:
  virtual ~FileAudioWriter() = default;
  virtual bool WriteFrame(const std::int16_t* pcm, int samples) = 0;
  // Flushes what is buffered; the writer writes nothing after. A writer
  // destroyed without Finish writes nothing more to its stream (its last
  // partial frame is lost); a recording file is still closed, a WAV one
  // with its header completed.
  virtual bool Finish() = 0;
};

// Null (with `error` set to an engine error code) when the stream, kind or
// codec is not usable. For kind 2 the codec is recognised from the stream's
// magic line, else from `codec` when given, else it is G.711 of the law its
// first bytes suggest (files/compressed_file.h).
std::unique_ptr<FileAudioReader> OpenFileReader(GIPSVEInStream* stream, int kind,
                                                const EngineCodecRecord* codec, int sampleRate,
                                                int* error);
// `codec` null writes uncompressed PCM; otherwise frames of that codec
// (with the magic line for AMR and iLBC).
std::unique_ptr<FileAudioWriter> OpenFileWriter(GIPSVEOutStream* stream,
                                                const EngineCodecRecord* codec, int sampleRate,
                                                int* error);
// A conversation recording into the named file: WAV when `codec` is null or
// names L16, else the codec's compressed file.
std::unique_ptr<FileAudioWriter> OpenRecordingFile(const std::string& fileName,
                                                   const EngineCodecRecord* codec, int sampleRate,
                                                   int* error);

}  // namespace standin
