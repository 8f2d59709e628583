#include "engine/standin/file_player.h"

#include <algorithm>

#include "engine/standin/media_format.h"

namespace standin {

FilePlayer::FilePlayer(std::unique_ptr<FileAudioReader> reader, float scale, int startMs,
                       int stopMs)
    : reader_(std::move(reader)),
      scale_(scale),
      skipFrames_(startMs / kFrameMs),
      framesLeft_(stopMs > startMs ? (stopMs - startMs + kFrameMs - 1) / kFrameMs : -1) {}

void FilePlayer::ReadFrame(std::int16_t* pcm) {
  std::fill(pcm, pcm + kEngineFrame, 0);
  for (; reader_ && skipFrames_ > 0; --skipFrames_)
    if (!reader_->ReadFrame(pcm, kEngineFrame)) reader_.reset();
  if (!reader_ || framesLeft_ == 0) {
    reader_.reset();
    std::fill(pcm, pcm + kEngineFrame, 0);
    return;
  }
  if (!reader_->ReadFrame(pcm, kEngineFrame)) reader_.reset();  // the last, partial frame
  if (framesLeft_ > 0 && --framesLeft_ == 0) reader_.reset();
  ScaleInPlace(pcm, kEngineFrame, scale_);
}

}  // namespace standin
