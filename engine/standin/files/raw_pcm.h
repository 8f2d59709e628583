// File kind 0: headerless 16-bit little-endian mono PCM at kPcmFileRate.
#pragma once

#include <memory>

#include "engine/standin/files/pcm_stream.h"
#include "engine/standin/files/stream_io.h"

namespace standin {

// A trailing odd byte is dropped.
std::unique_ptr<PcmSource> OpenRawPcmSource(StreamReader reader);
std::unique_ptr<PcmSink> OpenRawPcmSink(GIPSVEOutStream* stream);

}  // namespace standin
