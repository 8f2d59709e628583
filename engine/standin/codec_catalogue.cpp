#include "engine/standin/codec_catalogue.h"

#include <cstring>
#include <vector>

#include "engine/standin/audio_codec.h"

namespace standin {
namespace {

constexpr EngineCodecRecord kCatalogue[] = {
    {0, "PCMU", 8000, 160, 1, 64000},
    {8, "PCMA", 8000, 160, 1, 64000},
    {9, "G722", 8000, 160, 1, 64000},
    {18, "G729", 8000, 160, 1, 8000},
    {3, "GSM", 8000, 160, 1, 13200},
    {96, "AMR", 8000, 160, 1, 12200},
    {97, "AMRWB", 16000, 320, 1, 23850},
    {98, "IPCMWB", 16000, 320, 1, 256000},
    {13, "CN", 8000, 160, 1, 0},
    {99, "CN", 16000, 320, 1, 0},
    {101, "telephone-event", 8000, 160, 1, 0},
};

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

// The entries this build implements, in catalogue order.
const std::vector<EngineCodecRecord>& Available() {
  static const std::vector<EngineCodecRecord> available = [] {
    std::vector<EngineCodecRecord> list;
    for (const EngineCodecRecord& entry : kCatalogue)
      if (!CodecCatalogue::CanSend(entry) || CreateEncoder(entry)) list.push_back(entry);
    return list;
  }();
  return available;
}

}  // namespace

int CodecCatalogue::Count() { return static_cast<int>(Available().size()); }

const EngineCodecRecord* CodecCatalogue::At(int index) {
  if (index < 0 || index >= Count()) return nullptr;
  return &Available()[static_cast<size_t>(index)];
}

const EngineCodecRecord* CodecCatalogue::Find(std::string_view name, int frequency) {
  const EngineCodecRecord* byName = nullptr;
  for (const EngineCodecRecord& entry : Available()) {
    if (!EqualsNoCase(entry.name, name)) continue;
    if (entry.frequency == frequency) return &entry;
    if (!byName) byName = &entry;
  }
  return byName;
}

bool CodecCatalogue::CanSend(const EngineCodecRecord& codec) {
  return !EqualsNoCase(codec.name, "CN") && !EqualsNoCase(codec.name, "telephone-event");
}

bool CodecCatalogue::NameOf(const EngineCodecRecord& codec, std::string_view* name) {
  const void* end = std::memchr(codec.name, '\0', sizeof codec.name);
  if (!end) return false;
  *name = std::string_view(codec.name, static_cast<const char*>(end) - codec.name);
  return true;
}

}  // namespace standin
