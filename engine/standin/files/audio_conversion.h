// The engine's three stream conversions. Each runs on the caller's thread
// until the input ends and returns kNoError or the engine error code of the
// failure. Nothing is written before both ends are known to be usable.
// Neither stream is ended with a zero-length call: their owner does that.
#pragma once

#include "engine/engine_codec_record.h"
#include "engine/engine_streams.h"

namespace standin {

// WAV (kind 1) to PCM (kind 0).
int ConvertWavStreamToPcm(GIPSVEInStream* in, GIPSVEOutStream* out);
// PCM (kind 0) to the codec's compressed file (kind 2).
int CompressPcmStream(GIPSVEInStream* in, GIPSVEOutStream* out, const EngineCodecRecord& codec);
// A compressed file (kind 2; the codec from its magic line, else G.711 of
// the law its bytes suggest) to PCM (kind 0).
int DecompressStream(GIPSVEInStream* in, GIPSVEOutStream* out);

}  // namespace standin
