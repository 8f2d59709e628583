// File kind 1, WAV. Builds with the sound file library (libsndfile) read
// every WAV variant it knows (PCM of any width, float, G.711, ADPCM...,
// also WAVE_FORMAT_EXTENSIBLE and RF64) through its virtual I/O; builds
// without it use the built-in reader for 8- and 16-bit PCM. Either way the
// stream is read as playback goes (memory does not grow with the file), the
// channels are mixed down to mono, and what wav_header.h refuses is refused.
#pragma once

#include <memory>
#include <string>

#include "engine/standin/files/pcm_stream.h"

namespace standin {

// Null with `error` set (kBadFileData for what is not a playable WAV).
std::unique_ptr<PcmSource> OpenWavSource(GIPSVEInStream* stream, int* error);
// A new WAV file of 16-bit mono PCM at `sampleRate` (a conversation
// recording); null with `error` kFileOpenFailed when it cannot be created.
std::unique_ptr<PcmSink> CreateWavFile(const std::string& path, int sampleRate, int* error);

// The built-in reader and writer, present in every build.
std::unique_ptr<PcmSource> OpenBuiltInWavSource(GIPSVEInStream* stream, int* error);
std::unique_ptr<PcmSink> CreateBuiltInWavFile(const std::string& path, int sampleRate, int* error);

}  // namespace standin
