#include "media/static_payload_types.h"

namespace {

struct StaticEntry {
  const char* name;
  LONG kind;
  LONG clockRate;
  LONG channels;
};

constexpr StaticEntry kEntries[kStaticPayloadTypeCount] = {
    {"PCMU", kMediaKindAudio, 8000, 1},  {"1016", kMediaKindAudio, 8000, 1},
    {"G721", kMediaKindAudio, 8000, 1},  {"GSM", kMediaKindAudio, 8000, 1},
    {"G723", kMediaKindAudio, 8000, 1},  {"DVI4", kMediaKindAudio, 8000, 1},
    {"DVI4", kMediaKindAudio, 16000, 1}, {"LPC", kMediaKindAudio, 8000, 1},
    {"PCMA", kMediaKindAudio, 8000, 1},  {"G722", kMediaKindAudio, 8000, 1},
    {"L16", kMediaKindAudio, 44100, 2},  {"L16", kMediaKindAudio, 44100, 1},
    {"QCELP", kMediaKindAudio, 8000, 1}, {"CN", kMediaKindAudio, 8000, 1},
    {"MPA", kMediaKindAudio, 90000, 1},  {"G728", kMediaKindAudio, 8000, 1},
    {"DVI4", kMediaKindAudio, 11025, 1}, {"DVI4", kMediaKindAudio, 22050, 1},
    {"G729", kMediaKindAudio, 8000, 1},  {"", kMediaKindAudio, 0, 0},
    {"", kMediaKindAudio, 0, 0},         {"", kMediaKindAudio, 0, 0},
    {"", kMediaKindAudio, 0, 0},         {"", kMediaKindAudio, 0, 0},
    {"", kMediaKindVideo, 0, 0},         {"CelB", kMediaKindVideo, 90000, 0},
    {"JPEG", kMediaKindVideo, 90000, 0}, {"", kMediaKindVideo, 0, 0},
    {"nv", kMediaKindVideo, 90000, 0},   {"", kMediaKindVideo, 0, 0},
    {"", kMediaKindVideo, 0, 0},         {"H261", kMediaKindVideo, 90000, 0},
    {"MPV", kMediaKindVideo, 90000, 0},  {"MP2T", kMediaKindAudioVideo, 90000, 0},
    {"H263", kMediaKindVideo, 90000, 0},
};

std::array<PayloadType, kStaticPayloadTypeCount> BuildTable() {
  std::array<PayloadType, kStaticPayloadTypeCount> table;
  for (std::uint32_t number = 0; number < kStaticPayloadTypeCount; ++number) {
    const StaticEntry& entry = kEntries[number];
    table[number] = PayloadType(static_cast<LONG>(number), platform::AsciiToWide(entry.name),
                                entry.kind, entry.clockRate, entry.channels);
  }
  return table;
}

// Built while the component loads, before any host call can arrive.
const std::array<PayloadType, kStaticPayloadTypeCount> kTable = BuildTable();

}  // namespace

const std::array<PayloadType, kStaticPayloadTypeCount>& StaticPayloadTypes() { return kTable; }
