// The header of a WAV stream (RIFF or RF64), read front to back up to the
// first byte of the audio data, and the limits of what the engine plays.
// Both WAV readers start here, so they refuse the same files.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/standin/files/stream_io.h"

namespace standin {

// What the engine plays from a file: 8 kHz to 192 kHz, mono or stereo.
constexpr int kMinPlayableRate = 8000;
constexpr int kMaxPlayableRate = 192000;
constexpr int kMaxPlayableChannels = 2;
bool IsPlayableRate(int sampleRate);

// A declared data length is checked against the stream up to this many
// bytes when the file is opened; a longer one is trusted until the data ends.
constexpr std::size_t kWavLookAheadBytes = 16384;

constexpr int kWavFormatPcm = 1;
constexpr int kWavFormatFloat = 3;
constexpr int kWavFormatExtensible = 0xFFFE;

struct WavHeader {
  std::vector<std::uint8_t> format;  // the "fmt " chunk's bytes, as found
  int formatTag = 0;                 // the subformat's tag for WAVE_FORMAT_EXTENSIBLE
  int channels = 0;
  int sampleRate = 0;
  int blockAlign = 0;
  int bitsPerSample = 0;
  // The data chunk's length; open-ended data lasts until the stream ends.
  std::uint64_t dataBytes = 0;
  bool openEnded = false;
};

// Reads the chunks before the audio data and leaves `reader` at its first
// byte. False for a stream that is not a playable WAV: not RIFF/RF64 WAVE,
// no format chunk before the data, a rate or channel count the engine does
// not play, a block size or sample width that contradicts the format, or a
// data length that the stream does not hold.
bool ReadWavHeader(StreamReader& reader, WavHeader* header);

}  // namespace standin
