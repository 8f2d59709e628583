#include "engine/standin/file_recorder.h"

#include <new>

#include "engine/standin/error_codes.h"
#include "engine/standin/media_format.h"

namespace standin {

std::shared_ptr<FileRecorder> FileRecorder::ForStream(GIPSVEOutStream* stream,
                                                      const EngineCodecRecord* codec, int* error) {
  std::shared_ptr<FileRecorder> recorder;
  try {
    recorder = std::make_shared<FileRecorder>(stream);
  } catch (const std::bad_alloc&) {
    *error = kOutOfMemory;
    return nullptr;
  }
  recorder->writer_ = OpenFileWriter(&recorder->stream_, codec, kEngineRate, error);
  if (!recorder->writer_) return nullptr;
  return recorder;
}

std::shared_ptr<FileRecorder> FileRecorder::ForFile(const std::string& fileName,
                                                    const EngineCodecRecord* codec, int* error) {
  std::shared_ptr<FileRecorder> recorder;
  try {
    recorder = std::make_shared<FileRecorder>(nullptr);
  } catch (const std::bad_alloc&) {
    *error = kOutOfMemory;
    return nullptr;
  }
  recorder->writer_ = OpenRecordingFile(fileName, codec, kEngineRate, error);
  if (!recorder->writer_) return nullptr;
  return recorder;
}

bool FileRecorder::Write(const std::int16_t* pcm) {
  GateUse use(gate_);
  if (!use.entered()) return true;
  return writer_->WriteFrame(pcm, kEngineFrame);
}

void FileRecorder::Stop(std::chrono::milliseconds limit, bool finish) {
  if (gate_.Close(limit) && finish) writer_->Finish();
  gate_.Seal();
}

}  // namespace standin
