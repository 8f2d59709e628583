// What each of the host's audio format codes (AudioStreamFormat) means to the
// voice engine: the codec to look up, how the engine reads a played stream,
// the file header it expects, and the bit rate forced when recording or
// converting into the format.
#pragma once

#include <string_view>

#include "medley/audio_streams.h"

struct AudioStreamFormatInfo {
  AudioStreamFormat code;
  // The engine codec of the format; null for WAV, which has none.
  const OLECHAR* codecName;
  // The GIPSVEFileKind of a stream in this format.
  LONG fileKind;
  // The line the engine expects before the frames; empty for none.
  std::string_view header;
  // The bit rate (bit/s) set on the codec for recording and conversion; 0
  // keeps the codec's own.
  LONG forcedRate;
};

// The entry of `format`, or null for a code outside 0..5.
const AudioStreamFormatInfo* FindAudioStreamFormat(LONG format);
