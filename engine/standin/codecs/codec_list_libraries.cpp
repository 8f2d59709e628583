// The codecs of builds that have the codec libraries: every voice codec of
// the catalogue.
#include "engine/standin/codecs/codec_registry.h"
#include "engine/standin/codecs/g711_codec.h"
#include "engine/standin/codecs/ipcmwb_codec.h"
#include "engine/standin/codecs/library_codecs.h"

namespace standin {
namespace {

std::unique_ptr<AudioEncoder> MuLawEncoder(const EngineCodecRecord&) {
  return CreateG711Encoder(LibraryMuLaw());
}
std::unique_ptr<AudioDecoder> MuLawDecoder(const EngineCodecRecord&) {
  return CreateG711Decoder(LibraryMuLaw(), LibraryConcealer());
}
std::unique_ptr<AudioEncoder> ALawEncoder(const EngineCodecRecord&) {
  return CreateG711Encoder(LibraryALaw());
}
std::unique_ptr<AudioDecoder> ALawDecoder(const EngineCodecRecord&) {
  return CreateG711Decoder(LibraryALaw(), LibraryConcealer());
}

constexpr CodecImplementation kCodecs[] = {
    {"PCMU", 8000, MuLawEncoder, MuLawDecoder},
    {"PCMA", 8000, ALawEncoder, ALawDecoder},
    {"G722", 8000, CreateG722Encoder, CreateG722Decoder},
    {"G729", 8000, CreateG729Encoder, CreateG729Decoder},
    {"GSM", 8000, CreateGsmEncoder, CreateGsmDecoder},
    {"AMR", 8000, CreateAmrEncoder, CreateAmrDecoder},
    {"AMRWB", 16000, CreateAmrWbEncoder, CreateAmrWbDecoder},
    {"IPCMWB", 16000, CreateIpcmwbEncoder, CreateIpcmwbDecoder},
};

}  // namespace

std::span<const CodecImplementation> AvailableCodecs() { return kCodecs; }

}  // namespace standin
