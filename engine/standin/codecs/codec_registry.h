// The codecs this build implements and how CreateEncoder and CreateDecoder
// find them. Builds with the codec libraries list every voice codec of the
// catalogue; builds without them list only the built-in G.711 and IPCMWB.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string_view>

#include "engine/standin/audio_codec.h"

namespace standin {

// The longest payload a decoder accepts: no datagram is larger.
constexpr std::size_t kMaxPayloadBytes = 65535;

// PCM samples in 20 ms at `sampleRate`.
constexpr int SamplesPer20Ms(int sampleRate) { return sampleRate / 50; }

struct CodecImplementation {
  const char* name;  // the catalogue's spelling
  int frequency;     // RTP clock rate in Hz
  std::unique_ptr<AudioEncoder> (*createEncoder)(const EngineCodecRecord& codec);
  std::unique_ptr<AudioDecoder> (*createDecoder)(const EngineCodecRecord& codec);
};

// The codecs of this build (defined once per build, see CMakeLists.txt).
std::span<const CodecImplementation> AvailableCodecs();

// Whether two codec names are equal without regard to ASCII letter case.
bool SameCodecName(std::string_view a, std::string_view b);
// Sets `name` to the record's name; false when it is not zero-terminated
// within the record.
bool CodecNameOf(const EngineCodecRecord& codec, std::string_view* name);
// The implementation named like `codec` (any letter case), preferring one
// whose frequency matches; null when this build has none.
const CodecImplementation* FindCodecImplementation(const EngineCodecRecord& codec);

}  // namespace standin
