// The codecs of builds without the codec libraries: the built-in G.711 and
// the uncompressed IPCMWB, enough for a call to carry sound.
#include "engine/standin/codecs/codec_registry.h"
#include "engine/standin/codecs/g711_tables.h"
#include "engine/standin/codecs/ipcmwb_codec.h"

namespace standin {
namespace {

std::unique_ptr<AudioEncoder> MuLawEncoder(const EngineCodecRecord&) {
  return CreateG711Encoder(BuiltInMuLaw());
}
std::unique_ptr<AudioDecoder> MuLawDecoder(const EngineCodecRecord&) {
  return CreateG711Decoder(BuiltInMuLaw());
}
std::unique_ptr<AudioEncoder> ALawEncoder(const EngineCodecRecord&) {
  return CreateG711Encoder(BuiltInALaw());
}
std::unique_ptr<AudioDecoder> ALawDecoder(const EngineCodecRecord&) {
  return CreateG711Decoder(BuiltInALaw());
}

constexpr CodecImplementation kCodecs[] = {
    {"PCMU", 8000, MuLawEncoder, MuLawDecoder},
    {"PCMA", 8000, ALawEncoder, ALawDecoder},
    {"IPCMWB", 16000, CreateIpcmwbEncoder, CreateIpcmwbDecoder},
};

}  // namespace

std::span<const CodecImplementation> AvailableCodecs() { return kCodecs; }

}  // namespace standin
