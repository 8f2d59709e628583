// The built-in WAV reader and writer: the header read front to back
// (wav_header.h), then the data as playback asks for it, PCM with 8- or
// 16-bit samples, format tag 1 or WAVE_FORMAT_EXTENSIBLE with the PCM
// subformat.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "engine/standin/error_codes.h"
#include "engine/standin/files/stream_io.h"
#include "engine/standin/files/wav_file.h"
#include "engine/standin/files/wav_header.h"

namespace standin {
namespace {

// The built-in reader decodes integer PCM of these widths.
bool BuiltInDecodes(const WavHeader& header) {
  return header.formatTag == kWavFormatPcm &&
         (header.bitsPerSample == 8 || header.bitsPerSample == 16);
}

std::uint16_t Little16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

class RiffWavSource final : public PcmSource {
 public:
  RiffWavSource(StreamReader reader, const WavHeader& header)
      : reader_(std::move(reader)),
        channels_(header.channels),
        sampleRate_(header.sampleRate),
        bytesPerSample_(header.bitsPerSample / 8),
        openEnded_(header.openEnded),
        left_(header.dataBytes) {}
  int SampleRate() const override { return sampleRate_; }

  std::size_t Read(std::int16_t* pcm, std::size_t count) override {
    const auto frameBytes =
        static_cast<std::size_t>(channels_) * static_cast<std::size_t>(bytesPerSample_);
    std::size_t wanted = count * frameBytes;
    if (!openEnded_ && wanted > left_)
      wanted = static_cast<std::size_t>(left_) / frameBytes * frameBytes;
    bytes_.resize(wanted);
    std::size_t frames = reader_.Read(bytes_.data(), wanted) / frameBytes;
    if (!openEnded_) left_ -= frames * frameBytes;
    for (std::size_t i = 0; i < frames; ++i) {
      const std::uint8_t* frame = bytes_.data() + i * frameBytes;
      int sum = 0;
      for (int c = 0; c < channels_; ++c) sum += SampleAt(frame, c);
      pcm[i] = static_cast<std::int16_t>(sum / channels_);
    }
    return frames;
  }

 private:
  int SampleAt(const std::uint8_t* frame, int channel) const {
    if (bytesPerSample_ == 1) return (frame[channel] - 128) << 8;
    return static_cast<std::int16_t>(Little16(frame + 2 * channel));
  }

  StreamReader reader_;
  int channels_;
  int sampleRate_;
  int bytesPerSample_;
  bool openEnded_;
  std::uint64_t left_;  // data bytes still to read, unless open-ended
  std::vector<std::uint8_t> bytes_;
};

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
    std::copy_n("RIFF", 4, header);
    put32(4, static_cast<std::uint32_t>(36 + dataBytes));
    std::copy_n("WAVEfmt ", 8, header + 8);
    put32(16, 16);
    put16(20, kWavFormatPcm);
    put16(22, 1);
    put32(24, static_cast<std::uint32_t>(sampleRate_));
    put32(28, static_cast<std::uint32_t>(sampleRate_ * 2));
    put16(32, 2);
    put16(34, 16);
    std::copy_n("data", 4, header + 36);
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
  WavHeader header;
  if (!ReadWavHeader(reader, &header) || !BuiltInDecodes(header)) {
    *error = kBadFileData;
    return nullptr;
  }
  return std::make_unique<RiffWavSource>(std::move(reader), header);
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
