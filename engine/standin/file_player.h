// A stream the engine plays (to the speaker or as a microphone): 20 ms
// frames at the engine rate from a file reader, scaled by the caller's
// volume factor, from `startMs` to `stopMs` (0: the end). The reader, and
// so the caller's stream, is let go as soon as the data ends.
//
// Threads: Open runs on the caller's thread (it reads the stream's header).
// The media thread then calls Prefetch without the engine lock (the
// caller's stream is called only there) and ReadFrame and Ended under it.
// Stop may come from any thread, the media thread's own call into the
// stream included (stream_gate.h).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "engine/standin/audio_file.h"
#include "engine/standin/media_format.h"
#include "engine/standin/stream_gate.h"

namespace standin {

class FilePlayer {
 public:
  // At most this much of the file is skipped towards `startMs` per frame.
  static constexpr int kMaxSkipFramesPerFrame = 50;

  // Null with `error` set when the stream cannot be played as `kind`.
  static std::shared_ptr<FilePlayer> Open(GIPSVEInStream* stream, int kind, float scale,
                                          int startMs, int stopMs, int* error);
  FilePlayer(GIPSVEInStream* stream, float scale, int startMs, int stopMs);
  FilePlayer(const FilePlayer&) = delete;
  FilePlayer& operator=(const FilePlayer&) = delete;

  // Reads the next frame from the stream (silence while skipping to the
  // start, and once the data has ended).
  void Prefetch();
  // Fills kEngineFrame samples with the frame Prefetch read; silence when
  // it read none since the last call.
  void ReadFrame(std::int16_t* pcm);
  bool Ended() const { return !reader_ && !ready_; }
  // The engine calls the stream no more once this returns; waits at most
  // `limit` for a read in progress on another thread.
  void Stop(std::chrono::milliseconds limit) { gate_.Close(limit); }

 private:
  StreamGate gate_;
  GatedInStream stream_;
  std::unique_ptr<FileAudioReader> reader_;
  float scale_;
  int skipFrames_;
  int framesLeft_;  // -1: no limit
  std::int16_t frame_[kEngineFrame] = {};
  bool ready_ = false;
};

}  // namespace standin
