// WAV through the sound file library (libsndfile). Reading goes through its
// virtual I/O over the stream's bytes, taken into memory first because the
// library seeks (it looks for chunks after the data). Recordings are
// ordinary files the library writes and finalises itself.
#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/standin/error_codes.h"
#include "engine/standin/files/stream_io.h"
#include "engine/standin/files/wav_file.h"

namespace standin {
namespace {

struct MemoryFile {
  std::vector<std::uint8_t> bytes;
  sf_count_t position = 0;
};

sf_count_t MemoryLength(void* user) {
  return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes.size());
}

sf_count_t MemorySeek(sf_count_t offset, int whence, void* user) {
  auto* file = static_cast<MemoryFile*>(user);
  sf_count_t base = whence == SEEK_CUR   ? file->position
                    : whence == SEEK_END ? static_cast<sf_count_t>(file->bytes.size())
                                         : 0;
  sf_count_t target = base + offset;
  if (target < 0) return -1;
  file->position = target;
  return target;
}

sf_count_t MemoryRead(void* data, sf_count_t count, void* user) {
  auto* file = static_cast<MemoryFile*>(user);
  auto size = static_cast<sf_count_t>(file->bytes.size());
  if (count <= 0 || file->position >= size) return 0;
  sf_count_t copied = std::min(count, size - file->position);
  std::memcpy(data, file->bytes.data() + file->position, static_cast<std::size_t>(copied));
  file->position += copied;
  return copied;
}

sf_count_t MemoryWrite(const void*, sf_count_t, void*) { return 0; }

sf_count_t MemoryTell(void* user) { return static_cast<MemoryFile*>(user)->position; }

bool IsWavFamily(int format) {
  int major = format & SF_FORMAT_TYPEMASK;
  return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64;
}

class SndfileWavSource final : public PcmSource {
 public:
  SndfileWavSource(std::unique_ptr<MemoryFile> memory, SNDFILE* file, const SF_INFO& info)
      : memory_(std::move(memory)), file_(file), info_(info) {}
  ~SndfileWavSource() override { sf_close(file_); }
  SndfileWavSource(const SndfileWavSource&) = delete;
  SndfileWavSource& operator=(const SndfileWavSource&) = delete;

  int SampleRate() const override { return info_.samplerate; }
  std::size_t Read(std::int16_t* pcm, std::size_t count) override {
    auto channels = static_cast<std::size_t>(info_.channels);
    if (channels == 1)
      return static_cast<std::size_t>(sf_readf_short(file_, pcm, static_cast<sf_count_t>(count)));
    frames_.resize(count * channels);
    auto got = static_cast<std::size_t>(
        sf_readf_short(file_, frames_.data(), static_cast<sf_count_t>(count)));
    for (std::size_t i = 0; i < got; ++i) {
      int sum = 0;
      for (std::size_t c = 0; c < channels; ++c) sum += frames_[i * channels + c];
      pcm[i] = static_cast<std::int16_t>(sum / static_cast<int>(channels));
    }
    return got;
  }

 private:
  std::unique_ptr<MemoryFile> memory_;
  SNDFILE* file_;
  SF_INFO info_;
  std::vector<std::int16_t> frames_;
};

class SndfileWavFile final : public PcmSink {
 public:
  SndfileWavFile(SNDFILE* file, int sampleRate) : file_(file), sampleRate_(sampleRate) {}
  ~SndfileWavFile() override { Finish(); }
  SndfileWavFile(const SndfileWavFile&) = delete;
  SndfileWavFile& operator=(const SndfileWavFile&) = delete;

  int SampleRate() const override { return sampleRate_; }
  bool Write(const std::int16_t* pcm, std::size_t count) override {
    if (!file_) return false;
    ok_ = ok_ && sf_write_short(file_, pcm, static_cast<sf_count_t>(count)) ==
                     static_cast<sf_count_t>(count);
    return ok_;
  }
  bool Finish() override {
    if (!file_) return ok_;
    ok_ = sf_close(file_) == 0 && ok_;
    file_ = nullptr;
    return ok_;
  }

 private:
  SNDFILE* file_;
  int sampleRate_;
  bool ok_ = true;
};

}  // namespace

std::unique_ptr<PcmSource> OpenWavSource(GIPSVEInStream* stream, int* error) {
  auto memory = std::make_unique<MemoryFile>();
  StreamReader reader(stream);
  std::uint8_t chunk[16384];
  while (std::size_t got = reader.Read(chunk, sizeof chunk)) {
    if (memory->bytes.size() + got > kMaxWavBytes) {
      *error = kBadFileData;
      return nullptr;
    }
    memory->bytes.insert(memory->bytes.end(), chunk, chunk + got);
  }
  SF_VIRTUAL_IO io = {MemoryLength, MemorySeek, MemoryRead, MemoryWrite, MemoryTell};
  SF_INFO info{};
  SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, memory.get());
  if (!file) {
    *error = kBadFileData;
    return nullptr;
  }
  if (!IsWavFamily(info.format) || info.channels < 1 || info.samplerate <= 0) {
    sf_close(file);
    *error = kBadFileData;
    return nullptr;
  }
  return std::make_unique<SndfileWavSource>(std::move(memory), file, info);
}

std::unique_ptr<PcmSink> CreateWavFile(const std::string& path, int sampleRate, int* error) {
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) {
    *error = kFileOpenFailed;
    return nullptr;
  }
  return std::make_unique<SndfileWavFile>(file, sampleRate);
}

}  // namespace standin
