#include "engine/standin/files/wav_header.h"

#include <algorithm>
#include <cstring>

namespace standin {
namespace {

// Format chunks are small (40 bytes for WAVE_FORMAT_EXTENSIBLE); a larger
// one is not a WAV header.
constexpr std::uint32_t kMaxFormatBytes = 1024;
// A data chunk of this size (or 0) lasts until the end of the stream; in
// RF64 files it points at the 64-bit size in the "ds64" chunk.
constexpr std::uint32_t kUnknownSize = 0xFFFFFFFFu;
// The chunks before the data (metadata, padding) may take this much; more is
// not read through to find the audio.
constexpr std::uint64_t kMaxHeaderBytes = 1u << 20;
constexpr int kMaxCodedBlockBytes = 16384;

std::uint32_t Little32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t Little16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint64_t Little64(const std::uint8_t* p) {
  return Little32(p) | (static_cast<std::uint64_t>(Little32(p + 4)) << 32);
}

bool ParseFormat(WavHeader* header) {
  const std::vector<std::uint8_t>& chunk = header->format;
  if (chunk.size() < 16) return false;
  header->formatTag = Little16(chunk.data());
  if (header->formatTag == kWavFormatExtensible) {
    if (chunk.size() < 40) return false;
    header->formatTag = Little16(chunk.data() + 24);  // the subformat GUID's first bytes
  }
  header->channels = Little16(chunk.data() + 2);
  std::uint32_t rate = Little32(chunk.data() + 4);
  header->blockAlign = Little16(chunk.data() + 12);
  header->bitsPerSample = Little16(chunk.data() + 14);
  if (header->channels < 1 || header->channels > kMaxPlayableChannels) return false;
  if (rate < kMinPlayableRate || rate > kMaxPlayableRate) return false;
  header->sampleRate = static_cast<int>(rate);
  if (header->blockAlign < 1) return false;
  switch (header->formatTag) {
    case kWavFormatPcm:
    case kWavFormatFloat: {
      const int bits = header->bitsPerSample;
      const bool widthKnown = header->formatTag == kWavFormatPcm
                                  ? bits == 8 || bits == 16 || bits == 24 || bits == 32
                                  : bits == 32 || bits == 64;
      return widthKnown && header->blockAlign == header->channels * bits / 8;
    }
    case 0:
      return false;  // WAVE_FORMAT_UNKNOWN
    default:
      // A coded format: the reader decides whether it decodes it. Its blocks
      // are small (ADPCM, GSM: at most a few KiB); larger ones would make a
      // frame's read unbounded.
      return header->blockAlign <= kMaxCodedBlockBytes;
  }
}

}  // namespace

bool IsPlayableRate(int sampleRate) {
  return sampleRate >= kMinPlayableRate && sampleRate <= kMaxPlayableRate;
}

bool ReadWavHeader(StreamReader& reader, WavHeader* header) {
  std::uint8_t riff[12];
  if (reader.Read(riff, sizeof riff) != sizeof riff || std::memcmp(riff + 8, "WAVE", 4) != 0)
    return false;
  const bool rf64 = std::memcmp(riff, "RF64", 4) == 0;
  if (!rf64 && std::memcmp(riff, "RIFF", 4) != 0) return false;
  std::uint64_t rf64DataBytes = 0;
  bool haveFormat = false;
  for (std::uint64_t headerBytes = sizeof riff;; headerBytes += 8) {
    std::uint8_t chunk[8];
    if (reader.Read(chunk, sizeof chunk) != sizeof chunk) return false;
    const std::uint32_t size = Little32(chunk + 4);
    if (std::memcmp(chunk, "data", 4) == 0) {
      if (!haveFormat) return false;
      header->dataBytes = rf64 && size == kUnknownSize ? rf64DataBytes : size;
      header->openEnded = header->dataBytes == 0 || header->dataBytes == kUnknownSize;
      break;
    }
    headerBytes += size + size % 2;
    if (headerBytes > kMaxHeaderBytes) return false;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (haveFormat || size > kMaxFormatBytes) return false;
      header->format.resize(size);
      if (reader.Read(header->format.data(), size) != size || !ParseFormat(header)) return false;
      haveFormat = true;
      reader.Skip(size % 2);
    } else if (rf64 && std::memcmp(chunk, "ds64", 4) == 0 && size >= 16) {
      std::uint8_t sizes[16];
      if (reader.Read(sizes, sizeof sizes) != sizeof sizes) return false;
      rf64DataBytes = Little64(sizes + 8);
      reader.Skip(static_cast<std::size_t>(size) - sizeof sizes + size % 2);
    } else {
      reader.Skip(static_cast<std::size_t>(size) + size % 2);
    }
  }
  // The stream must hold what the header promises, as far as the look-ahead
  // reaches.
  if (!header->openEnded) {
    const std::size_t promised =
        static_cast<std::size_t>(std::min<std::uint64_t>(header->dataBytes, kWavLookAheadBytes));
    if (reader.Peek(promised).size() < promised) return false;
  }
  return true;
}

}  // namespace standin
