#include "engine/standin/files/raw_pcm.h"

#include <utility>
#include <vector>

namespace standin {
namespace {

class RawPcmSource final : public PcmSource {
 public:
  explicit RawPcmSource(StreamReader reader) : reader_(std::move(reader)) {}
  int SampleRate() const override { return kPcmFileRate; }
  std::size_t Read(std::int16_t* pcm, std::size_t count) override {
    bytes_.resize(count * 2);
    std::size_t samples = reader_.Read(bytes_.data(), bytes_.size()) / 2;
    for (std::size_t i = 0; i < samples; ++i)
      pcm[i] = static_cast<std::int16_t>(bytes_[2 * i] | (bytes_[2 * i + 1] << 8));
    return samples;
  }

 private:
  StreamReader reader_;
  std::vector<std::uint8_t> bytes_;
};

class RawPcmSink final : public PcmSink {
 public:
  explicit RawPcmSink(GIPSVEOutStream* stream) : stream_(stream) {}
  int SampleRate() const override { return kPcmFileRate; }
  bool Write(const std::int16_t* pcm, std::size_t count) override {
    bytes_.clear();
    for (std::size_t i = 0; i < count; ++i) {
      auto bits = static_cast<std::uint16_t>(pcm[i]);
      bytes_.push_back(static_cast<std::uint8_t>(bits & 0xFF));
      bytes_.push_back(static_cast<std::uint8_t>(bits >> 8));
    }
    ok_ = ok_ && WriteAll(stream_, bytes_.data(), bytes_.size());
    return ok_;
  }
  bool Finish() override { return ok_; }

 private:
  GIPSVEOutStream* stream_;
  std::vector<std::uint8_t> bytes_;
  bool ok_ = true;
};

}  // namespace

std::unique_ptr<PcmSource> OpenRawPcmSource(StreamReader reader) {
  return std::make_unique<RawPcmSource>(std::move(reader));
}

std::unique_ptr<PcmSink> OpenRawPcmSink(GIPSVEOutStream* stream) {
  return std::make_unique<RawPcmSink>(stream);
}

}  // namespace standin
