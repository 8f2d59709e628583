#include "audio/codec_descriptor.h"

#include <cstring>
#include <string>
#include <utility>

#include "platform/bstr.h"

namespace {

// The length of the longest prefix of `text` of at most `limit` bytes that
// does not end inside a UTF-8 sequence.
size_t WholeCharacterPrefix(const std::string& text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t length = limit;
  // text[length] is the first byte left out; while it continues a sequence,
  // that sequence started inside the prefix and must be left out too.
  while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  return length;
}

}  // namespace

CodecDescriptor::CodecDescriptor(LONG payloadType, platform::OleStringView name, LONG frequency,
                                 LONG packetSize, LONG channels, LONG rate)
    : payloadType(payloadType),
      name(platform::AllocBstr(name)),
      frequency(frequency),
      packetSize(packetSize),
      channels(channels),
      rate(rate) {}

CodecDescriptor::CodecDescriptor(const CodecDescriptor& other)
    : CodecDescriptor(other.payloadType, other.Name(), other.frequency, other.packetSize,
                      other.channels, other.rate) {}

CodecDescriptor::CodecDescriptor(CodecDescriptor&& other) noexcept
    : payloadType(other.payloadType),
      name(std::exchange(other.name, nullptr)),
      frequency(other.frequency),
      packetSize(other.packetSize),
      channels(other.channels),
      rate(other.rate) {}

CodecDescriptor& CodecDescriptor::operator=(CodecDescriptor other) noexcept {
  payloadType = other.payloadType;
  std::swap(name, other.name);
  frequency = other.frequency;
  packetSize = other.packetSize;
  channels = other.channels;
  rate = other.rate;
  return *this;
}

CodecDescriptor::~CodecDescriptor() {
  if (name) SysFreeString(name);
}

platform::OleStringView CodecDescriptor::Name() const { return platform::BstrView(name); }

void CodecDescriptor::SetName(platform::OleStringView text) {
  BSTR replacement = platform::AllocBstr(text);
  if (name) SysFreeString(name);
  name = replacement;
}

void CodecDescriptor::UseEngineName() {
  platform::OleStringView engineName = EngineCodecName(Name());
  if (engineName != Name()) SetName(engineName);
}

EngineCodecRecord CodecDescriptor::ToEngineRecord() const {
  EngineCodecRecord record;
  std::memset(&record, 0, sizeof record);
  record.payloadType = payloadType;
  std::string narrow = platform::WideToNarrow(Name());
  size_t length = WholeCharacterPrefix(narrow, EngineCodecRecord::kNameSize - 1);
  std::memcpy(record.name, narrow.data(), length);
  record.frequency = frequency;
  record.packetSize = packetSize;
  record.channels = channels;
  record.rate = rate;
  return record;
}

CodecDescriptor CodecDescriptor::FromEngineRecord(const EngineCodecRecord& record) {
  const void* end = std::memchr(record.name, '\0', sizeof record.name);
  size_t length = end ? static_cast<const char*>(end) - record.name : sizeof record.name;
  CodecDescriptor codec;
  codec.payloadType = record.payloadType;
  codec.frequency = record.frequency;
  codec.packetSize = record.packetSize;
  codec.channels = record.channels;
  codec.rate = record.rate;
  // Engine names are ASCII: widen them straight into the BSTR.
  OLECHAR ascii[sizeof record.name];
  bool isAscii = true;
  for (size_t i = 0; i < length && isAscii; ++i) {
    auto byte = static_cast<unsigned char>(record.name[i]);
    ascii[i] = static_cast<OLECHAR>(byte);
    isAscii = byte < 0x80;
  }
  codec.name = isAscii ? SysAllocStringLen(ascii, static_cast<UINT>(length))
                       : platform::AllocBstr(std::string_view(record.name, length));
  return codec;
}
