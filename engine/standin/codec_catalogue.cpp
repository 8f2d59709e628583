#include "engine/standin/codec_catalogue.h"

#include <cstring>
#include <vector>

#include "engine/standin/audio_codec.h"
#include "engine/standin/codecs/codec_registry.h"
#include "engine/standin/media_format.h"

namespace standin {
namespace {

// The catalogue's records and, at the same index, their descriptions.
struct Entries {
  std::vector<EngineCodecRecord> records;
  std::vector<const CodecDescription*> descriptions;
};

// The codecs this build implements (CN and telephone-event always), in
// description order, each offered at a 20 ms packet time.
const Entries& Available() {
  static const Entries available = [] {
    Entries entries;
    for (const CodecDescription& description : CodecDescriptions()) {
      EngineCodecRecord record{};
      record.payloadType = description.payloadType;
      std::strncpy(record.name, description.name, sizeof record.name - 1);
      record.frequency = description.clockRate;
      record.packetSize = description.clockRate / 1000 * kFrameMs;
      record.channels = 1;
      record.rate = description.rate;
      if (description.IsAudio() && !CreateEncoder(record)) continue;
      entries.records.push_back(record);
      entries.descriptions.push_back(&description);
    }
    return entries;
  }();
  return available;
}

}  // namespace

int CodecCatalogue::Count() { return static_cast<int>(Available().records.size()); }

const EngineCodecRecord* CodecCatalogue::At(int index) {
  if (index < 0 || index >= Count()) return nullptr;
  return &Available().records[static_cast<size_t>(index)];
}

const EngineCodecRecord* CodecCatalogue::Find(std::string_view name, int frequency) {
  const EngineCodecRecord* byName = nullptr;
  for (const EngineCodecRecord& entry : Available().records) {
    if (!SameCodecName(entry.name, name)) continue;
    if (entry.frequency == frequency) return &entry;
    if (!byName) byName = &entry;
  }
  return byName;
}

const CodecDescription* CodecCatalogue::Describe(const EngineCodecRecord* entry) {
  const Entries& available = Available();
  for (std::size_t i = 0; i < available.records.size(); ++i)
    if (&available.records[i] == entry) return available.descriptions[i];
  return nullptr;
}

bool CodecCatalogue::CanSend(const EngineCodecRecord& entry) {
  const CodecDescription* description = Describe(&entry);
  return description && description->IsAudio();
}

bool CodecCatalogue::NameOf(const EngineCodecRecord& codec, std::string_view* name) {
  return CodecNameOf(codec, name);
}

}  // namespace standin
