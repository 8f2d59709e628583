#include "engine/standin/files/compressed_file.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/standin/codecs/amr_payload.h"
#include "engine/standin/codecs/codec_description.h"
#include "engine/standin/codecs/codec_registry.h"
#include "engine/standin/codecs/g711_tables.h"
#include "engine/standin/error_codes.h"
#include "engine/standin/files/raw_pcm.h"
#include "engine/standin/media_format.h"

namespace standin {
namespace {

// How a codec's frames lie in a file, from its description.
struct FileLayout {
  const CodecDescription* codec;
  std::size_t unitBytes;   // kPayload: the smallest decodable piece
  std::size_t frameBytes;  // kPayload: the bytes of 20 ms
  amr::Band band;          // kAmrStorage

  FileForm Form() const { return codec->fileForm; }
};

// The G.711 law of a headerless file is judged on its first 200 ms.
constexpr std::size_t kLawProbeBytes = 1600;
constexpr std::size_t kLongestMagic = 9;
constexpr std::string_view kIlbcMagic = "#!iLBC";
constexpr std::string_view kAmrMagicStart = "#!AMR";

// The layout of the audio codec named `name`; false when there is none.
bool LayoutOf(std::string_view name, FileLayout* layout) {
  const CodecDescription* codec = FindCodecDescription(name, 0);
  if (!codec || codec->fileForm == FileForm::kNone) return false;
  layout->codec = codec;
  layout->band = codec->sampleRate == 16000 ? amr::Band::kWide : amr::Band::kNarrow;
  layout->unitBytes = layout->frameBytes = 0;
  if (codec->fileForm == FileForm::kPayload) {
    const auto frame = static_cast<std::size_t>(codec->frameBytes);
    // A stream splits at any tick's bytes, framed codecs at whole frames.
    layout->unitBytes =
        codec->framing == Framing::kStream
            ? std::max<std::size_t>(1, frame / static_cast<std::size_t>(codec->FrameTicks()))
            : frame;
    layout->frameBytes = frame * kFrameMs / static_cast<std::size_t>(codec->frameMs);
  }
  return true;
}

EngineCodecRecord RecordOf(const FileLayout& layout, int rate) {
  EngineCodecRecord record{};
  std::strncpy(record.name, layout.codec->name, sizeof record.name - 1);
  record.frequency = layout.codec->clockRate;
  record.rate = rate;
  return record;
}

bool StartsWith(std::span<const std::uint8_t> data, std::string_view text) {
  return data.size() >= text.size() && std::memcmp(data.data(), text.data(), text.size()) == 0;
}

class CodedFrameSource final : public PcmSource {
 public:
  CodedFrameSource(StreamReader reader, const FileLayout& layout,
                   std::unique_ptr<AudioDecoder> decoder)
      : reader_(std::move(reader)), layout_(layout), decoder_(std::move(decoder)) {}

  int SampleRate() const override { return decoder_->SampleRate(); }

  std::size_t Read(std::int16_t* pcm, std::size_t count) override {
    while (decoded_.size() - position_ < count && !ended_) DecodeNextFrame();
    std::size_t ready = std::min(count, decoded_.size() - position_);
    if (ready > 0) std::memcpy(pcm, decoded_.data() + position_, ready * sizeof *pcm);
    position_ += ready;
    if (position_ == decoded_.size()) {
      decoded_.clear();
      position_ = 0;
    }
    return ready;
  }

 private:
  // Decodes one frame of the file into decoded_, or sets ended_. A frame
  // the decoder refuses plays as a concealed one.
  void DecodeNextFrame() {
    if (!ReadFrame()) {
      ended_ = true;
      return;
    }
    if (!decoder_->Decode(payload_.data(), payload_.size(), decoded_)) decoder_->Conceal(decoded_);
  }

  // Reads the next frame as an RTP payload into payload_.
  bool ReadFrame() {
    payload_.clear();
    if (layout_.Form() == FileForm::kPayload) {
      payload_.resize(layout_.frameBytes);
      std::size_t got = reader_.Read(payload_.data(), payload_.size());
      payload_.resize(got - got % layout_.unitBytes);
      return !payload_.empty();
    }
    // A storage frame; a type the band does not define means the rest of
    // the file cannot be framed.
    std::uint8_t frame[64];
    if (reader_.Read(frame, 1) != 1) return false;
    int size = amr::StorageFrameSize(layout_.band, frame[0]);
    if (size < 0) return false;
    auto rest = static_cast<std::size_t>(size - 1);
    if (reader_.Read(frame + 1, rest) != rest) return false;
    return amr::StorageFrameToPayload(layout_.band, frame, static_cast<std::size_t>(size),
                                      payload_);
  }

  StreamReader reader_;
  FileLayout layout_;
  std::unique_ptr<AudioDecoder> decoder_;
  std::vector<std::uint8_t> payload_;
  std::vector<std::int16_t> decoded_;
  std::size_t position_ = 0;
  bool ended_ = false;
};

class CodedFrameSink final : public PcmSink {
 public:
  CodedFrameSink(GIPSVEOutStream* stream, const FileLayout& layout,
                 std::unique_ptr<AudioEncoder> encoder)
      : stream_(stream), layout_(layout), encoder_(std::move(encoder)) {
    if (layout_.Form() == FileForm::kAmrStorage) {
      std::string_view magic = amr::MagicLine(layout_.band);
      ok_ = WriteAll(stream_, magic.data(), magic.size());
    }
  }

  int SampleRate() const override { return encoder_->SampleRate(); }

  bool Write(const std::int16_t* pcm, std::size_t count) override {
    auto frame = static_cast<std::size_t>(encoder_->FrameSamples());
    pending_.insert(pending_.end(), pcm, pcm + count);
    std::size_t used = 0;
    for (; ok_ && pending_.size() - used >= frame; used += frame)
      WriteFrame(pending_.data() + used);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
    return ok_;
  }

  bool Finish() override {
    if (!pending_.empty() && ok_) {
      pending_.resize(static_cast<std::size_t>(encoder_->FrameSamples()), 0);
      WriteFrame(pending_.data());
    }
    pending_.clear();
    return ok_;
  }

  bool Ok() const { return ok_; }

 private:
  void WriteFrame(const std::int16_t* pcm) {
    payload_.clear();
    if (!encoder_->Encode(pcm, payload_)) {
      ok_ = false;
      return;
    }
    if (layout_.Form() == FileForm::kAmrStorage) {
      storage_.clear();
      int frames = 0;
      ok_ = amr::PayloadToStorageFrames(layout_.band, payload_.data(), payload_.size(), storage_,
                                        &frames) &&
            WriteAll(stream_, storage_.data(), storage_.size());
    } else {
      ok_ = WriteAll(stream_, payload_.data(), payload_.size());
    }
  }

  GIPSVEOutStream* stream_;
  FileLayout layout_;
  std::unique_ptr<AudioEncoder> encoder_;
  std::vector<std::int16_t> pending_;
  std::vector<std::uint8_t> payload_;
  std::vector<std::uint8_t> storage_;
  bool ok_ = true;
};

struct Smoothness {
  double roughness = 0;  // mean squared difference of neighbours
  double loudness = 0;   // mean magnitude
};

Smoothness Measure(const std::uint8_t* data, std::size_t size,
                   std::int16_t (*decode)(std::uint8_t)) {
  Smoothness result;
  if (size == 0) return result;
  int previous = decode(data[0]);
  for (std::size_t i = 0; i < size; ++i) {
    int sample = decode(data[i]);
    double step = sample - previous;
    result.roughness += step * step;
    result.loudness += sample < 0 ? -sample : sample;
    previous = sample;
  }
  result.roughness /= static_cast<double>(size);
  result.loudness /= static_cast<double>(size);
  return result;
}

}  // namespace

bool LooksLikeALaw(const std::uint8_t* data, std::size_t size) {
  Smoothness mu = Measure(data, size, BuiltInMuLawDecode);
  Smoothness a = Measure(data, size, BuiltInALawDecode);
  if (a.roughness != mu.roughness) return a.roughness < mu.roughness;
  return a.loudness < mu.loudness;
}

std::unique_ptr<PcmSource> OpenCompressedSource(StreamReader reader, const EngineCodecRecord* codec,
                                                int* error) {
  std::span<const std::uint8_t> start = reader.Peek(kLongestMagic);
  std::string_view name;
  if (StartsWith(start, amr::MagicLine(amr::Band::kWide))) {
    name = "AMRWB";
    reader.Skip(amr::MagicLine(amr::Band::kWide).size());
  } else if (StartsWith(start, amr::MagicLine(amr::Band::kNarrow))) {
    name = "AMR";
    reader.Skip(amr::MagicLine(amr::Band::kNarrow).size());
  } else if (StartsWith(start, kIlbcMagic)) {
    *error = kUnsupportedCodec;
    return nullptr;
  } else if (StartsWith(start, kAmrMagicStart)) {
    *error = kBadFileData;  // another AMR storage variant (multichannel)
    return nullptr;
  } else if (codec) {
    if (!CodecNameOf(*codec, &name)) {
      *error = kInvalidArgument;
      return nullptr;
    }
  } else {
    std::span<const std::uint8_t> probe = reader.Peek(kLawProbeBytes);
    name = LooksLikeALaw(probe.data(), probe.size()) ? "PCMA" : "PCMU";
  }
  FileLayout layout;
  if (!LayoutOf(name, &layout)) {
    *error = kUnsupportedCodec;
    return nullptr;
  }
  if (layout.Form() == FileForm::kLinearPcm) return OpenRawPcmSource(std::move(reader));
  std::unique_ptr<AudioDecoder> decoder = CreateDecoder(RecordOf(layout, 0));
  if (!decoder) {
    *error = kUnsupportedCodec;
    return nullptr;
  }
  return std::make_unique<CodedFrameSource>(std::move(reader), layout, std::move(decoder));
}

std::unique_ptr<PcmSink> OpenCompressedSink(GIPSVEOutStream* stream, const EngineCodecRecord& codec,
                                            int* error) {
  std::string_view name;
  if (!CodecNameOf(codec, &name)) {
    *error = kInvalidArgument;
    return nullptr;
  }
  FileLayout layout;
  if (!LayoutOf(name, &layout)) {
    *error = kUnsupportedCodec;
    return nullptr;
  }
  if (layout.Form() == FileForm::kLinearPcm) return OpenRawPcmSink(stream);
  std::unique_ptr<AudioEncoder> encoder = CreateEncoder(RecordOf(layout, codec.rate));
  if (!encoder) {
    *error = kUnsupportedCodec;
    return nullptr;
  }
  auto sink = std::make_unique<CodedFrameSink>(stream, layout, std::move(encoder));
  if (!sink->Ok()) {
    *error = kStreamWriteFailed;
    return nullptr;
  }
  return sink;
}

}  // namespace standin
