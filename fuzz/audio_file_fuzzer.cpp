// Feeds bytes, as a host's file or stream could hold them, to the stand-in
// engine's file layer: read as raw PCM, WAV or a compressed codec file
// (magic line or the codec the input names) at a rate the input chooses,
// and through the stream conversions that turn WAV and compressed files
// into PCM. The stream hands its data out in pieces of the size the input
// chooses, as a host's stream may.
//
// Input: two control bytes, then the file. Control byte 0: the kind (bits
// 0-1), the codec (bits 2-5, a catalogue index; 15 for none); byte 1: the
// output rate (bits 0-2) and the piece size (bits 3-7).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "engine/engine_streams.h"
#include "engine/standin/audio_file.h"
#include "engine/standin/codec_catalogue.h"
#include "engine/standin/files/audio_conversion.h"

namespace {

// Hands out the bytes in pieces of at most `piece`, as a host stream may.
class BytesInStream final : public GIPSVEInStream {
 public:
  BytesInStream(const std::uint8_t* data, std::size_t size, int piece)
      : data_(data), size_(size), piece_(piece) {}
  int Read(void* buffer, int length) override {
    if (length <= 0) return 0;
    std::size_t count = static_cast<std::size_t>(length < piece_ ? length : piece_);
    if (count > size_ - at_) count = size_ - at_;
    if (count > 0) std::memcpy(buffer, data_ + at_, count);
    at_ += count;
    return static_cast<int>(count);
  }
  int Rewind() override {
    at_ = 0;
    return 0;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  int piece_;
  std::size_t at_ = 0;
};

// Counts what is written and keeps nothing.
class CountingOutStream final : public GIPSVEOutStream {
 public:
  bool Write(const void*, int length) override {
    if (length < 0) __builtin_trap();
    written_ += static_cast<std::size_t>(length);
    return true;
  }
  int Rewind() override { return -1; }

 private:
  std::size_t written_ = 0;
};

constexpr int kRates[] = {8000, 16000, 11025, 22050, 32000, 44100, 48000, 1000};
// Frames read at most: a bound on the work one input causes.
constexpr int kMaxFrames = 4000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int kind = data[0] & 3;
  const int codecIndex = (data[0] >> 2) & 15;
  const EngineCodecRecord* codec = standin::CodecCatalogue::At(codecIndex);
  const int rate = kRates[data[1] & 7];
  const int piece = 1 + (data[1] >> 3) * 37;
  const std::uint8_t* file = data + 2;
  const std::size_t fileSize = size - 2;

  {
    BytesInStream stream(file, fileSize, piece);
    int error = 0;
    auto reader = standin::OpenFileReader(&stream, kind, codec, rate, &error);
    if (reader) {
      const int samples = rate / 50;
      auto frame = std::make_unique<std::int16_t[]>(static_cast<std::size_t>(samples));
      for (int i = 0; i < kMaxFrames && reader->ReadFrame(frame.get(), samples); ++i) {
      }
    } else if (error == 0) {
      __builtin_trap();  // a refused stream always says why
    }
  }
  {
    BytesInStream stream(file, fileSize, piece);
    CountingOutStream out;
    (void)standin::ConvertWavStreamToPcm(&stream, &out);
  }
  {
    BytesInStream stream(file, fileSize, piece);
    CountingOutStream out;
    (void)standin::DecompressStream(&stream, &out);
  }
  return 0;
}
