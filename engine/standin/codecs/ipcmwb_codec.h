// IPCMWB: uncompressed 16 kHz audio, 16-bit samples in network byte order,
// 320 samples (640 bytes) per 20 ms.
#pragma once

#include <memory>

#include "engine/standin/audio_codec.h"

namespace standin {

std::unique_ptr<AudioEncoder> CreateIpcmwbEncoder(const EngineCodecRecord& codec);
std::unique_ptr<AudioDecoder> CreateIpcmwbDecoder(const EngineCodecRecord& codec);

}  // namespace standin
