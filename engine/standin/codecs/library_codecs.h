// The codecs backed by Debian's codec libraries, one source file each:
//   G722   spandsp          16 kHz audio on an 8 kHz RTP clock, 64 kbit/s
//   G729   bcg729           two 10-byte frames per 20 ms, no annex B VAD
//                           (received 2-byte SID frames are decoded)
//   GSM    libgsm           one 33-byte frame per 20 ms
//   AMR    opencore-amrnb   mode from the record's rate (12200 by default)
//   AMRWB  vo-amrwbenc and opencore-amrwb, mode from the rate (23850)
// AMR payloads are bandwidth-efficient (amr_payload.h). Builds without the
// libraries do not compile these files.
#pragma once

#include <memory>

#include "engine/standin/audio_codec.h"

namespace standin {

std::unique_ptr<AudioEncoder> CreateG722Encoder(const EngineCodecRecord& codec);
std::unique_ptr<AudioDecoder> CreateG722Decoder(const EngineCodecRecord& codec);
std::unique_ptr<AudioEncoder> CreateG729Encoder(const EngineCodecRecord& codec);
std::unique_ptr<AudioDecoder> CreateG729Decoder(const EngineCodecRecord& codec);
std::unique_ptr<AudioEncoder> CreateGsmEncoder(const EngineCodecRecord& codec);
std::unique_ptr<AudioDecoder> CreateGsmDecoder(const EngineCodecRecord& codec);
std::unique_ptr<AudioEncoder> CreateAmrEncoder(const EngineCodecRecord& codec);
std::unique_ptr<AudioDecoder> CreateAmrDecoder(const EngineCodecRecord& codec);
std::unique_ptr<AudioEncoder> CreateAmrWbEncoder(const EngineCodecRecord& codec);
std::unique_ptr<AudioDecoder> CreateAmrWbDecoder(const EngineCodecRecord& codec);

}  // namespace standin
