// Builds without the sound file library read and write WAV with the
// built-in code.
#include "engine/standin/files/wav_file.h"

namespace standin {

std::unique_ptr<PcmSource> OpenWavSource(GIPSVEInStream* stream, int* error) {
  return OpenBuiltInWavSource(stream, error);
}

std::unique_ptr<PcmSink> CreateWavFile(const std::string& path, int sampleRate, int* error) {
  return CreateBuiltInWavFile(path, sampleRate, error);
}

}  // namespace standin
