// WAV through the sound file library (libsndfile), streamed. The header is
// read by ReadWavHeader (wav_header.h); the library then sees a file made
// of a canonical header (the stream's format chunk and a data chunk of the
// stream's length) followed by the stream's data, which is read as the
// library asks for it. The library seeks past the data when it opens a
// file; that position is the end of the virtual file, where reads answer
// nothing, so no data is consumed before playback. Recordings are ordinary
// files the library writes and finalises itself.
#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "engine/standin/error_codes.h"
#include "engine/standin/files/stream_io.h"
#include "engine/standin/files/wav_file.h"
#include "engine/standin/files/wav_header.h"

namespace standin {
namespace {

// The largest data chunk a RIFF header can state; open-ended and RF64 data
// is presented as this long (over a day of 16 kHz stereo).
constexpr std::uint64_t kLargestRiffData = 0xFFFFFFF0u;
// Data bytes kept for reading again.
constexpr std::size_t kReplayBytes = 4096;

// The virtual file: `header_` at offset 0, the stream's data after it.
class StreamedFile {
 public:
  StreamedFile(StreamReader reader, const WavHeader& wav) : reader_(std::move(reader)) {
    std::uint64_t data =
        wav.openEnded ? kLargestRiffData : std::min(wav.dataBytes, kLargestRiffData);
    data -= data % static_cast<std::uint64_t>(wav.blockAlign);
    const auto formatBytes = static_cast<std::uint32_t>(wav.format.size());
    header_.reserve(4 + 4 + 8 + 4 + formatBytes + 1 + 8);
    Append("RIFF");
    Append32(static_cast<std::uint32_t>(4 + 8 + formatBytes + formatBytes % 2 + 8 + data));
    Append("WAVEfmt ");
    Append32(formatBytes);
    header_.insert(header_.end(), wav.format.begin(), wav.format.end());
    if (formatBytes % 2) header_.push_back(0);
    Append("data");
    Append32(static_cast<std::uint32_t>(data));
    length_ = static_cast<sf_count_t>(header_.size() + data);
  }

  sf_count_t Length() const { return length_; }
  sf_count_t Tell() const { return position_; }
  sf_count_t Seek(sf_count_t offset, int whence) {
    sf_count_t base = whence == SEEK_CUR ? position_ : whence == SEEK_END ? length_ : 0;
    sf_count_t target = base + offset;
    if (target < 0) return -1;
    position_ = target;
    return target;
  }
  // Header bytes from memory; data in order, except that the last
  // kReplayBytes may be read again (the library looks at the first bytes of
  // the data and goes back); nothing at or past the end.
  sf_count_t Read(void* data, sf_count_t count) {
    if (count <= 0 || position_ >= length_) return 0;
    count = std::min(count, length_ - position_);
    auto* out = static_cast<std::uint8_t*>(data);
    const auto headerSize = static_cast<sf_count_t>(header_.size());
    if (position_ < headerSize) {
      sf_count_t copied = std::min(count, headerSize - position_);
      std::memcpy(out, header_.data() + position_, static_cast<std::size_t>(copied));
      position_ += copied;
      return copied;
    }
    const sf_count_t at = position_ - headerSize;
    const sf_count_t replayStart = consumed_ - static_cast<sf_count_t>(replay_.size());
    if (at < replayStart || at > consumed_) return 0;
    sf_count_t copied = 0;
    if (at < consumed_) {
      copied = std::min(count, consumed_ - at);
      std::memcpy(out, replay_.data() + (at - replayStart), static_cast<std::size_t>(copied));
      position_ += copied;
      if (copied == count) return copied;
      out += copied;
      count -= copied;
    }
    std::size_t got = reader_.Read(out, static_cast<std::size_t>(count));
    replay_.insert(replay_.end(), out + (got > kReplayBytes ? got - kReplayBytes : 0), out + got);
    if (replay_.size() > kReplayBytes)
      replay_.erase(replay_.begin(), replay_.end() - static_cast<std::ptrdiff_t>(kReplayBytes));
    consumed_ += static_cast<sf_count_t>(got);
    position_ += static_cast<sf_count_t>(got);
    return copied + static_cast<sf_count_t>(got);
  }

 private:
  void Append(std::string_view text) {
    for (char c : text) header_.push_back(static_cast<std::uint8_t>(c));
  }
  void Append32(std::uint32_t value) {
    for (int i = 0; i < 4; ++i) header_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }

  StreamReader reader_;
  std::vector<std::uint8_t> header_;
  sf_count_t length_ = 0;
  sf_count_t position_ = 0;
  sf_count_t consumed_ = 0;           // data bytes taken from the stream
  std::vector<std::uint8_t> replay_;  // the last of them, up to kReplayBytes
};

sf_count_t FileLength(void* user) { return static_cast<StreamedFile*>(user)->Length(); }
sf_count_t FileSeek(sf_count_t offset, int whence, void* user) {
  return static_cast<StreamedFile*>(user)->Seek(offset, whence);
}
sf_count_t FileRead(void* data, sf_count_t count, void* user) {
  return static_cast<StreamedFile*>(user)->Read(data, count);
}
sf_count_t FileWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t FileTell(void* user) { return static_cast<StreamedFile*>(user)->Tell(); }

bool IsWavFamily(int format) {
  int major = format & SF_FORMAT_TYPEMASK;
  return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64;
}

class SndfileWavSource final : public PcmSource {
 public:
  SndfileWavSource(std::unique_ptr<StreamedFile> stream, SNDFILE* file, const SF_INFO& info)
      : stream_(std::move(stream)), file_(file), info_(info) {}
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
  std::unique_ptr<StreamedFile> stream_;
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
  StreamReader reader(stream);
  WavHeader header;
  if (!ReadWavHeader(reader, &header)) {
    *error = kBadFileData;
    return nullptr;
  }
  auto streamed = std::make_unique<StreamedFile>(std::move(reader), header);
  SF_VIRTUAL_IO io = {FileLength, FileSeek, FileRead, FileWrite, FileTell};
  SF_INFO info{};
  SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, streamed.get());
  if (!file) {
    *error = kBadFileData;
    return nullptr;
  }
  // The library's reading of the header must agree with ours.
  if (!IsWavFamily(info.format) || info.channels != header.channels ||
      info.samplerate != header.sampleRate) {
    sf_close(file);
    *error = kBadFileData;
    return nullptr;
  }
  return std::make_unique<SndfileWavSource>(std::move(streamed), file, info);
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
