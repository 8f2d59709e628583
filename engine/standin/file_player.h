// A stream the engine plays (to the speaker or as a microphone): 20 ms
// frames at the engine rate from a file reader, scaled by the caller's
// volume factor, from `startMs` to `stopMs` (0: the end). The reader, and
// so the caller's stream, is let go as soon as the data ends.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/standin/audio_file.h"

namespace standin {

class FilePlayer {
 public:
  FilePlayer(std::unique_ptr<FileAudioReader> reader, float scale, int startMs, int stopMs);

  // Fills kEngineFrame samples; silence once the stream has ended.
  void ReadFrame(std::int16_t* pcm);
  bool Ended() const { return !reader_; }

 private:
  std::unique_ptr<FileAudioReader> reader_;
  float scale_;
  int skipFrames_;
  int framesLeft_;  // -1: no limit
};

}  // namespace standin
