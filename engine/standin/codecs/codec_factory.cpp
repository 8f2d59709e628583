#include "engine/standin/codecs/codec_registry.h"

#include <cstring>
#include <new>

namespace standin {
namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool SameCodecName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

bool CodecNameOf(const EngineCodecRecord& codec, std::string_view* name) {
  const void* end = std::memchr(codec.name, '\0', sizeof codec.name);
  if (!end) return false;
  *name = std::string_view(codec.name,
                           static_cast<std::size_t>(static_cast<const char*>(end) - codec.name));
  return true;
}

const CodecImplementation* FindCodecImplementation(const EngineCodecRecord& codec) {
  std::string_view name;
  if (!CodecNameOf(codec, &name)) return nullptr;
  const CodecImplementation* byName = nullptr;
  for (const CodecImplementation& entry : AvailableCodecs()) {
    if (!SameCodecName(entry.name, name)) continue;
    if (entry.frequency == codec.frequency) return &entry;
    if (!byName) byName = &entry;
  }
  return byName;
}

std::unique_ptr<AudioEncoder> CreateEncoder(const EngineCodecRecord& codec) {
  const CodecImplementation* entry = FindCodecImplementation(codec);
  if (!entry) return nullptr;
  try {
    return entry->createEncoder(codec);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<AudioDecoder> CreateDecoder(const EngineCodecRecord& codec) {
  const CodecImplementation* entry = FindCodecImplementation(codec);
  if (!entry) return nullptr;
  try {
    return entry->createDecoder(codec);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace standin
