// AMR-WB (16 kHz): vo-amrwbenc encodes, opencore-amrwb decodes; no DTX.
#include <opencore-amrwb/dec_if.h>
#include <vo-amrwbenc/enc_if.h>

#include "engine/standin/codecs/amr_frame_codec.h"
#include "engine/standin/codecs/library_codecs.h"
#include "engine/standin/codecs/period_concealer.h"

namespace standin {
namespace {

// Frame type 14: speech lost.
constexpr std::uint8_t kSpeechLostToc = 14 << 3;

const AmrEncoderLibrary kEncoder = {
    amr::Band::kWide,
    16000,
    [] { return E_IF_init(); },
    [](void* state) { E_IF_exit(state); },
    [](void* state, int mode, const std::int16_t* pcm, std::uint8_t* storage) {
      return E_IF_encode(state, mode, pcm, storage, 0);
    },
};

const AmrDecoderLibrary kDecoder = {
    amr::Band::kWide,
    16000,
    [] { return D_IF_init(); },
    [](void* state) { D_IF_exit(state); },
    [](void* state, const std::uint8_t* storage, std::int16_t* pcm) {
      D_IF_decode(state, storage, pcm, _good_frame);
    },
    kSpeechLostToc,
    [] { return CreatePeriodConcealer(16000); },
};

}  // namespace

std::unique_ptr<AudioEncoder> CreateAmrWbEncoder(const EngineCodecRecord& codec) {
  return CreateAmrFamilyEncoder(kEncoder, codec.rate);
}

std::unique_ptr<AudioDecoder> CreateAmrWbDecoder(const EngineCodecRecord&) {
  return CreateAmrFamilyDecoder(kDecoder);
}

}  // namespace standin
