// A recording the engine writes: the playout into a caller's out-stream,
// or the conversation into a file, 20 ms frames at the engine rate.
//
// Threads: opened on the caller's thread; the media thread calls Write
// without the engine lock; Stop may come from any thread, the media
// thread's own call into the stream included (stream_gate.h).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/standin/audio_file.h"
#include "engine/standin/stream_gate.h"

namespace standin {

class FileRecorder {
 public:
  // Null with `error` set when the stream or file cannot be written.
  static std::shared_ptr<FileRecorder> ForStream(GIPSVEOutStream* stream,
                                                 const EngineCodecRecord* codec, int* error);
  static std::shared_ptr<FileRecorder> ForFile(const std::string& fileName,
                                               const EngineCodecRecord* codec, int* error);
  explicit FileRecorder(GIPSVEOutStream* stream) : stream_(stream, gate_) {}
  FileRecorder(const FileRecorder&) = delete;
  FileRecorder& operator=(const FileRecorder&) = delete;

  // One frame of kEngineFrame samples; false when it could not be stored.
  // A stopped recorder takes nothing and answers true.
  bool Write(const std::int16_t* pcm);
  // Writes nothing more once this returns. When no write is in progress on
  // another thread (waits at most `limit` for one) and `finish` is set, the
  // writer's last data is flushed first; otherwise it is dropped.
  void Stop(std::chrono::milliseconds limit, bool finish);

 private:
  StreamGate gate_;
  GatedOutStream stream_;
  std::unique_ptr<FileAudioWriter> writer_;
};

}  // namespace standin
