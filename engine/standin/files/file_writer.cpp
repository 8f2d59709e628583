// OpenFileWriter and OpenRecordingFile: a resampler in front of a PcmSink
// of the chosen format.
#include <cstdio>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/standin/audio_file.h"
#include "engine/standin/codecs/codec_registry.h"
#include "engine/standin/error_codes.h"
#include "engine/standin/files/compressed_file.h"
#include "engine/standin/files/raw_pcm.h"
#include "engine/standin/files/resampler.h"
#include "engine/standin/files/wav_file.h"

namespace standin {
namespace {

class FrameWriter final : public FileAudioWriter {
 public:
  FrameWriter(std::unique_ptr<Resampler> resampler, std::unique_ptr<PcmSink> sink)
      : resampler_(std::move(resampler)), sink_(std::move(sink)) {}
  // A writer dropped without Finish writes nothing more: the caller's
  // stream may be gone by then. Files of its own are closed by their sinks.
  ~FrameWriter() override = default;
  FrameWriter(const FrameWriter&) = delete;
  FrameWriter& operator=(const FrameWriter&) = delete;

  bool WriteFrame(const std::int16_t* pcm, int samples) override {
    if (finished_ || samples < 0 || (!pcm && samples > 0)) return false;
    converted_.clear();
    resampler_->Process(pcm, static_cast<std::size_t>(samples), converted_);
    return sink_->Write(converted_.data(), converted_.size());
  }

  bool Finish() override {
    if (finished_) return finishedOk_;
    finished_ = true;
    converted_.clear();
    resampler_->Flush(converted_);
    bool written = sink_->Write(converted_.data(), converted_.size());
    finishedOk_ = sink_->Finish() && written;
    return finishedOk_;
  }

 private:
  std::unique_ptr<Resampler> resampler_;
  std::unique_ptr<PcmSink> sink_;
  std::vector<std::int16_t> converted_;
  bool finished_ = false;
  bool finishedOk_ = false;
};

// An out-stream over a file of its own.
class FileOutStream final : public GIPSVEOutStream {
 public:
  explicit FileOutStream(std::FILE* file) : file_(file) {}
  ~FileOutStream() override { Close(); }
  FileOutStream(const FileOutStream&) = delete;
  FileOutStream& operator=(const FileOutStream&) = delete;

  bool Write(const void* data, int length) override {
    if (!file_ || length < 0) return false;
    if (length == 0) return Close();
    return std::fwrite(data, 1, static_cast<std::size_t>(length), file_) ==
           static_cast<std::size_t>(length);
  }
  int Rewind() override { return file_ && std::fseek(file_, 0, SEEK_SET) == 0 ? 0 : -1; }
  bool Close() {
    if (!file_) return true;
    bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return closed;
  }

 private:
  std::FILE* file_;
};

// A compressed recording: the frame sink and the file it writes.
class CompressedFileSink final : public PcmSink {
 public:
  CompressedFileSink(std::unique_ptr<FileOutStream> file, std::unique_ptr<PcmSink> frames)
      : file_(std::move(file)), frames_(std::move(frames)) {}
  int SampleRate() const override { return frames_->SampleRate(); }
  bool Write(const std::int16_t* pcm, std::size_t count) override {
    return frames_->Write(pcm, count);
  }
  bool Finish() override {
    bool finished = frames_->Finish();
    return file_->Close() && finished;
  }

 private:
  std::unique_ptr<FileOutStream> file_;
  std::unique_ptr<PcmSink> frames_;
};

std::unique_ptr<FileAudioWriter> WriterFor(std::unique_ptr<PcmSink> sink, int sampleRate,
                                           int* error) {
  if (!sink) return nullptr;
  std::unique_ptr<Resampler> resampler = CreateResampler(sampleRate, sink->SampleRate());
  if (!resampler) {
    *error = kInvalidArgument;
    return nullptr;
  }
  return std::make_unique<FrameWriter>(std::move(resampler), std::move(sink));
}

std::unique_ptr<PcmSink> OpenCompressedFile(const std::string& fileName,
                                            const EngineCodecRecord& codec, int* error) {
  std::FILE* raw = std::fopen(fileName.c_str(), "wb");
  if (!raw) {
    *error = kFileOpenFailed;
    return nullptr;
  }
  auto file = std::make_unique<FileOutStream>(raw);
  std::unique_ptr<PcmSink> frames = OpenCompressedSink(file.get(), codec, error);
  if (!frames) {
    file->Close();
    std::remove(fileName.c_str());
    return nullptr;
  }
  return std::make_unique<CompressedFileSink>(std::move(file), std::move(frames));
}

}  // namespace

std::unique_ptr<PcmSink> OpenPcmSink(GIPSVEOutStream* stream, const EngineCodecRecord* codec,
                                     int* error) {
  if (!codec) return OpenRawPcmSink(stream);
  return OpenCompressedSink(stream, *codec, error);
}

std::unique_ptr<FileAudioWriter> OpenFileWriter(GIPSVEOutStream* stream,
                                                const EngineCodecRecord* codec, int sampleRate,
                                                int* error) {
  int ignored = kNoError;
  if (!error) error = &ignored;
  *error = kNoError;
  if (!stream || !IsFileSampleRate(sampleRate)) {
    *error = kInvalidArgument;
    return nullptr;
  }
  try {
    return WriterFor(OpenPcmSink(stream, codec, error), sampleRate, error);
  } catch (const std::bad_alloc&) {
    *error = kOutOfMemory;
    return nullptr;
  }
}

// WAV for no codec, an empty name or "L16" (at the record's frequency when
// it gives one); otherwise the codec's compressed file.
std::unique_ptr<FileAudioWriter> OpenRecordingFile(const std::string& fileName,
                                                   const EngineCodecRecord* codec, int sampleRate,
                                                   int* error) {
  int ignored = kNoError;
  if (!error) error = &ignored;
  *error = kNoError;
  std::string_view name;
  if (fileName.empty() || !IsFileSampleRate(sampleRate) || (codec && !CodecNameOf(*codec, &name))) {
    *error = kInvalidArgument;
    return nullptr;
  }
  try {
    if (name.empty() || SameCodecName(name, "L16")) {
      int fileRate = codec && SameCodecName(name, "L16") && codec->frequency > 0 ? codec->frequency
                                                                                 : sampleRate;
      if (!IsFileSampleRate(fileRate)) {
        *error = kInvalidArgument;
        return nullptr;
      }
      return WriterFor(CreateWavFile(fileName, fileRate, error), sampleRate, error);
    }
    if (!codec) {
      *error = kInvalidArgument;
      return nullptr;
    }
    return WriterFor(OpenCompressedFile(fileName, *codec, error), sampleRate, error);
  } catch (const std::bad_alloc&) {
    *error = kOutOfMemory;
    return nullptr;
  }
}

}  // namespace standin
