// File kind 2: the coded frames of one codec, as the engine reads and
// writes them (each codec's FileForm in codecs/codec_description.h).
//   PCMU, PCMA   the G.711 bytes, no header
//   G722         the 64 kbit/s bytes (160 per 20 ms), no header
//   G729         10-byte frames, no header
//   GSM          33-byte frames, no header
//   AMR          "#!AMR\n", then storage frames (TOC byte, speech bits)
//   AMRWB        "#!AMR-WB\n", then storage frames
//   IPCMWB       the same as kind 0 (16-bit little-endian PCM at 16 kHz), so
//                that converting PCM to IPCMWB copies it
// iLBC data ("#!iLBC30\n") is recognised and refused: no iLBC codec here.
//
// Reading: a magic line names the codec; without one the caller's codec
// does. When neither does (a G.711 file played by format code alone), the
// first 200 ms are decoded both ways and the law whose signal is smoother
// wins (LooksLikeALaw).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/standin/files/pcm_stream.h"
#include "engine/standin/files/stream_io.h"

namespace standin {

std::unique_ptr<PcmSource> OpenCompressedSource(StreamReader reader, const EngineCodecRecord* codec,
                                                int* error);
// Writes the magic line at once where the codec has one.
std::unique_ptr<PcmSink> OpenCompressedSink(GIPSVEOutStream* stream, const EngineCodecRecord& codec,
                                            int* error);

// Whether headerless G.711 bytes are more likely A-law than mu-law: each law
// decodes them, and the one with the smaller mean squared difference between
// neighbouring samples wins (the wrong law turns a smooth signal into
// jagged noise); on a tie the quieter decoding wins (constant bytes that
// are silence in one law are a loud constant in the other), then mu-law.
bool LooksLikeALaw(const std::uint8_t* data, std::size_t size);

}  // namespace standin
