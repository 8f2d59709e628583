// AMR (narrowband, 8 kHz) through opencore-amrnb, without DTX.
#include <opencore-amrnb/interf_dec.h>
#include <opencore-amrnb/interf_enc.h>

#include "engine/standin/codecs/amr_frame_codec.h"
#include "engine/standin/codecs/library_codecs.h"
#include "engine/standin/codecs/period_concealer.h"

namespace standin {
namespace {

const AmrEncoderLibrary kEncoder = {
    amr::Band::kNarrow,
    8000,
    [] { return Encoder_Interface_init(0); },
    [](void* state) { Encoder_Interface_exit(state); },
    [](void* state, int mode, const std::int16_t* pcm, std::uint8_t* storage) {
      return Encoder_Interface_Encode(state, static_cast<Mode>(mode), pcm, storage, 0);
    },
};

const AmrDecoderLibrary kDecoder = {
    amr::Band::kNarrow,
    8000,
    [] { return Decoder_Interface_init(); },
    [](void* state) { Decoder_Interface_exit(state); },
    [](void* state, const std::uint8_t* storage, std::int16_t* pcm) {
      Decoder_Interface_Decode(state, storage, pcm, 0);
    },
    static_cast<std::uint8_t>(amr::kNoData << 3),
    [] { return CreatePeriodConcealer(8000); },
};

}  // namespace

std::unique_ptr<AudioEncoder> CreateAmrEncoder(const EngineCodecRecord& codec) {
  return CreateAmrFamilyEncoder(kEncoder, codec.rate);
}

std::unique_ptr<AudioDecoder> CreateAmrDecoder(const EngineCodecRecord&) {
  return CreateAmrFamilyDecoder(kDecoder);
}

}  // namespace standin
