#include "engine/standin/codecs/codec_description.h"

#include <vector>

#include "engine/standin/codecs/amr_payload.h"
#include "engine/standin/codecs/codec_registry.h"

namespace standin {
namespace {

constexpr int kMaxPacketMs = 60;

// In catalogue order. G.711 and G.722 are streams split anywhere on 10 ms;
// G.729 has 10 ms frames; GSM and AMR 20 ms frames; IPCMWB is plain 16-bit
// PCM (big-endian on the wire), split on 10 ms like G.711.
constexpr CodecDescription kDescriptions[] = {
    {"PCMU", 0, 8000, 8000, 64000, Framing::kStream, 10, 80, 0, 10, kMaxPacketMs,
     Concealment::kWaveform, FileForm::kPayload},
    {"PCMA", 8, 8000, 8000, 64000, Framing::kStream, 10, 80, 0, 10, kMaxPacketMs,
     Concealment::kWaveform, FileForm::kPayload},
    {"G722", 9, 8000, 16000, 64000, Framing::kStream, 10, 80, 0, 10, kMaxPacketMs,
     Concealment::kSilence, FileForm::kPayload},
    {"G729", 18, 8000, 8000, 8000, Framing::kFrames, 10, 10, 2, 10, kMaxPacketMs,
     Concealment::kDecoder, FileForm::kPayload},
    {"GSM", 3, 8000, 8000, 13200, Framing::kFrames, 20, 33, 0, 20, kMaxPacketMs,
     Concealment::kWaveform, FileForm::kPayload},
    {"AMR", 96, 8000, 8000, 12200, Framing::kAmr, 20, 0, 0, 20, kMaxPacketMs, Concealment::kDecoder,
     FileForm::kAmrStorage},
    {"AMRWB", 97, 16000, 16000, 23850, Framing::kAmr, 20, 0, 0, 20, kMaxPacketMs,
     Concealment::kDecoder, FileForm::kAmrStorage},
    {"IPCMWB", 98, 16000, 16000, 256000, Framing::kStream, 10, 320, 0, 10, kMaxPacketMs,
     Concealment::kSilence, FileForm::kLinearPcm},
    {"CN", 13, 8000, 8000, 0, Framing::kNone, 20, 0, 0, 20, 0, Concealment::kNone, FileForm::kNone},
    {"CN", 99, 16000, 16000, 0, Framing::kNone, 20, 0, 0, 20, 0, Concealment::kNone,
     FileForm::kNone},
    {"telephone-event", 101, 8000, 8000, 0, Framing::kNone, 20, 0, 0, 20, 0, Concealment::kNone,
     FileForm::kNone},
};

}  // namespace

bool CodecDescription::AllowsPacketTicks(int ticks) const {
  const int step = clockRate / 1000 * packetStepMs;
  return step > 0 && ticks > 0 && ticks % step == 0 && ticks / step * packetStepMs <= maxPacketMs;
}

int CodecDescription::PayloadTicks(const std::uint8_t* payload, std::size_t size) const {
  switch (framing) {
    case Framing::kStream:
      return static_cast<int>(static_cast<std::int64_t>(size) * FrameTicks() / frameBytes);
    case Framing::kFrames: {
      const std::size_t whole = size / static_cast<std::size_t>(frameBytes);
      const std::size_t rest = size % static_cast<std::size_t>(frameBytes);
      const bool sid = sidBytes > 0 && rest == static_cast<std::size_t>(sidBytes);
      return static_cast<int>(whole + (sid ? 1 : 0)) * FrameTicks();
    }
    case Framing::kAmr: {
      std::vector<std::uint8_t> storage;
      int frames = 0;
      const amr::Band band = sampleRate == 16000 ? amr::Band::kWide : amr::Band::kNarrow;
      if (!amr::PayloadToStorageFrames(band, payload, size, storage, &frames)) return 0;
      return frames * FrameTicks();
    }
    case Framing::kNone:
      break;
  }
  return 0;
}

std::span<const CodecDescription> CodecDescriptions() { return kDescriptions; }

const CodecDescription* FindCodecDescription(std::string_view name, int clockRate) {
  const CodecDescription* byName = nullptr;
  for (const CodecDescription& description : kDescriptions) {
    if (!SameCodecName(description.name, name)) continue;
    if (description.clockRate == clockRate) return &description;
    if (!byName) byName = &description;
  }
  return byName;
}

}  // namespace standin
