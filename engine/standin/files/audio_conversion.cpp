#include "engine/standin/files/audio_conversion.h"

#include <new>
#include <vector>

#include "engine/gipsve_file.h"
#include "engine/standin/error_codes.h"
#include "engine/standin/files/pcm_stream.h"
#include "engine/standin/files/resampler.h"

namespace standin {
namespace {

constexpr std::size_t kChunkSamples = 4096;

int Convert(GIPSVEInStream* in, int kind, GIPSVEOutStream* out, const EngineCodecRecord* codec) {
  int error = kNoError;
  try {
    std::unique_ptr<PcmSource> source = OpenPcmSource(in, kind, nullptr, &error);
    if (!source) return error;
    std::unique_ptr<PcmSink> sink = OpenPcmSink(out, codec, &error);
    if (!sink) return error;
    std::unique_ptr<Resampler> resampler =
        CreateResampler(source->SampleRate(), sink->SampleRate());
    if (!resampler) return kBadFileData;

    std::vector<std::int16_t> chunk(kChunkSamples);
    std::vector<std::int16_t> converted;
    while (std::size_t got = source->Read(chunk.data(), chunk.size())) {
      converted.clear();
      resampler->Process(chunk.data(), got, converted);
      if (!sink->Write(converted.data(), converted.size())) return kStreamWriteFailed;
    }
    converted.clear();
    resampler->Flush(converted);
    if (!sink->Write(converted.data(), converted.size()) || !sink->Finish())
      return kStreamWriteFailed;
    return kNoError;
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

}  // namespace

int ConvertWavStreamToPcm(GIPSVEInStream* in, GIPSVEOutStream* out) {
  return Convert(in, kGIPSVEFileWav, out, nullptr);
}

int CompressPcmStream(GIPSVEInStream* in, GIPSVEOutStream* out, const EngineCodecRecord& codec) {
  return Convert(in, kGIPSVEFilePcm, out, &codec);
}

int DecompressStream(GIPSVEInStream* in, GIPSVEOutStream* out) {
  return Convert(in, kGIPSVEFileCompressed, out, nullptr);
}

}  // namespace standin
