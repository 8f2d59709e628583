#include "audio/audio_stream_format.h"

#include <iterator>

#include "engine/gipsve_file.h"

namespace {

constexpr AudioStreamFormatInfo kFormats[] = {
    {AUDIO_STREAM_PCMU, MEDLEY_OLESTR("PCMU"), kGIPSVEFileCompressed, {}, 0},
    {AUDIO_STREAM_PCMA, MEDLEY_OLESTR("PCMA"), kGIPSVEFileCompressed, {}, 0},
    {AUDIO_STREAM_PCM, MEDLEY_OLESTR("IPCMWB"), kGIPSVEFilePcm, {}, 0},
    {AUDIO_STREAM_WAV, nullptr, kGIPSVEFileWav, {}, 0},
    {AUDIO_STREAM_AMR, MEDLEY_OLESTR("AMR"), kGIPSVEFileCompressed, "#!AMR\n", 12200},
    {AUDIO_STREAM_ILBC, MEDLEY_OLESTR("iLBC"), kGIPSVEFileCompressed, "#!iLBC30\n", 13300},
};

}  // namespace

const AudioStreamFormatInfo* FindAudioStreamFormat(LONG format) {
  if (format < 0 || format >= static_cast<LONG>(std::size(kFormats))) return nullptr;
  return &kFormats[format];
}
