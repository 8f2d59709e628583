// The built-in WAV reader and writer: RIFF chunks read front to back (no
// seeking, so it streams), PCM with 8- or 16-bit samples, format tag 1 or
// WAVE_FORMAT_EXTENSIBLE with the PCM subformat.
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "engine/standin/error_codes.h"
#include "engine/standin/files/stream_io.h"
#include "engine/standin/files/wav_file.h"

namespace standin {
namespace {

constexpr int kFormatPcm = 1;
constexpr int kFormatExtensible = 0xFFFE;
constexpr int kMaxChannels = 16;
// A data chunk that gives this size (or 0) lasts until the end of the stream.
constexpr std::uint32_t kOpenEndedSize = 0xFFFFFFFFu;

std::uint32_t Little32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t Little16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

struct WavFormat {
  int channels = 0;
  int sampleRate = 0;
  int bytesPerSample = 0;
};

class RiffWavSource final : public PcmSource {
 public:
  RiffWavSource(StreamReader reader, const WavFormat& format, std::uint32_t dataBytes)
      : reader_(std::move(reader)), format_(format), left_(dataBytes) {}
  int SampleRate() const override { return format_.sampleRate; }

  std::size_t Read(std::int16_t* pcm, std::size_t count) override {
    std::size_t frameBytes = static_cast<std::size_t>(format_.channels * format_.bytesPerSample);
    std::size_t wanted = count * frameBytes;
    if (left_ != kOpenEndedSize && wanted > left_) wanted = left_ / frameBytes * frameBytes;
    bytes_.resize(wanted);
    std::size_t frames = reader_.Read(bytes_.data(), wanted) / frameBytes;
    if (left_ != kOpenEndedSize) left_ -= static_cast<std::uint32_t>(frames * frameBytes);
    for (std::size_t i = 0; i < frames; ++i) {
      const std::uint8_t* frame = bytes_.data() + i * frameBytes;
      int sum = 0;
      for (int c = 0; c < format_.channels; ++c) sum += SampleAt(frame, c);
      pcm[i] = static_cast<std::int16_t>(sum / format_.channels);
    }
    return frames;
  }

 private:
  int SampleAt(const std::uint8_t* frame, int channel) const {
    if (format_.bytesPerSample == 1) return (frame[channel] - 128) << 8;
    return static_cast<std::int16_t>(Little16(frame + 2 * channel));
  }

  StreamReader reader_;
  WavFormat format_;
  std::uint32_t left_;
  std::vector<std::uint8_t> bytes_;
};

bool ParseFormat(const std::vector<std::uint8_t>& chunk, WavFormat* format) {
  if (chunk.size() < 16) return false;
  int tag = Little16(chunk.data());
  if (tag == kFormatExtensible && chunk.size() >= 26) tag = Little16(chunk.data() + 24);
  int bits = Little16(chunk.data() + 14);
  format->channels = Little16(chunk.data() + 2);
  format->sampleRate = static_cast<int>(Little32(chunk.data() + 4));
  format->bytesPerSample = bits / 8;
  return tag == kFormatPcm && (bits == 8 || bits == 16) && format->channels >= 1 &&
         format->channels <= kMaxChannels && format->sampleRate > 0 && format->sampleRate <= 384000;
}

class RiffWavFile final : public PcmSink {
 public:
  RiffWavFile(std::FILE* file, int sampleRate) : file_(file), sampleRate_(sampleRate) {
    ok_ = WriteHeader(0);
  }
  ~RiffWavFile() override { Finish(); }
  RiffWavFile(const RiffWavFile&) = delete;
  RiffWavFile& operator=(const RiffWavFile&) = delete;

  int SampleRate() const override { return sampleRate_; }
  bool Write(const std::int16_t* pcm, std::size_t count) override {
    if (!file_) return false;
    bytes_.clear();
    for (std::size_t i = 0; i < count; ++i) {
      auto bits = static_cast<std::uint16_t>(pcm[i]);
      bytes_.push_back(static_cast<std::uint8_t>(bits & 0xFF));
      bytes_.push_back(static_cast<std::uint8_t>(bits >> 8));
    }
    ok_ = ok_ && std::fwrite(bytes_.data(), 1, bytes_.size(), file_) == bytes_.size();
    dataBytes_ += bytes_.size();
    return ok_;
  }
  // Writes the final sizes into the header and closes the file.
  bool Finish() override {
    if (!file_) return ok_;
    ok_ = ok_ && std::fseek(file_, 0, SEEK_SET) == 0 && WriteHeader(dataBytes_);
    ok_ = (std::fclose(file_) == 0) && ok_;
    file_ = nullptr;
    return ok_;
  }

 private:
  bool WriteHeader(std::size_t dataBytes) {
    std::uint8_t header[44];
    auto put32 = [&](int at, std::uint32_t v) {
      for (int i = 0; i < 4; ++i) header[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    auto put16 = [&](int at, std::uint32_t v) {
      header[at] = static_cast<std::uint8_t>(v & 0xFF);
      header[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    std::memcpy(header, "RIFF", 4);
    put32(4, static_cast<std::uint32_t>(36 + dataBytes));
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, kFormatPcm);
    put16(22, 1);
    put32(24, static_cast<std::uint32_t>(sampleRate_));
    put32(28, static_cast<std::uint32_t>(sampleRate_ * 2));
    put16(32, 2);
    put16(34, 16);
    std::memcpy(header + 36, "data", 4);
    put32(40, static_cast<std::uint32_t>(dataBytes));
    return std::fwrite(header, 1, sizeof header, file_) == sizeof header;
  }

  std::FILE* file_;
  int sampleRate_;
  std::size_t dataBytes_ = 0;
  std::vector<std::uint8_t> bytes_;
  bool ok_ = true;
};

}  // namespace

std::unique_ptr<PcmSource> OpenBuiltInWavSource(GIPSVEInStream* stream, int* error) {
  StreamReader reader(stream);
  std::uint8_t riff[12];
  if (reader.Read(riff, sizeof riff) != sizeof riff || std::memcmp(riff, "RIFF", 4) != 0 ||
      std::memcmp(riff + 8, "WAVE", 4) != 0) {
    *error = kBadFileData;
    return nullptr;
  }
  WavFormat format;
  bool haveFormat = false;
  for (;;) {
    std::uint8_t header[8];
    if (reader.Read(header, sizeof header) != sizeof header) break;
    std::uint32_t size = Little32(header + 4);
    if (std::memcmp(header, "data", 4) == 0) {
      if (!haveFormat) break;
      return std::make_unique<RiffWavSource>(std::move(reader), format,
                                             size == 0 ? kOpenEndedSize : size);
    }
    if (std::memcmp(header, "fmt ", 4) == 0 && size <= 1024) {
      std::vector<std::uint8_t> chunk(size);
      if (reader.Read(chunk.data(), size) != size) break;
      if (!ParseFormat(chunk, &format)) break;
      haveFormat = true;
      reader.Skip(size % 2);
    } else {
      reader.Skip(static_cast<std::size_t>(size) + size % 2);
    }
  }
  *error = kBadFileData;
  return nullptr;
}

std::unique_ptr<PcmSink> CreateBuiltInWavFile(const std::string& path, int sampleRate, int* error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    *error = kFileOpenFailed;
    return nullptr;
  }
  return std::make_unique<RiffWavFile>(file, sampleRate);
}

}  // namespace standin
