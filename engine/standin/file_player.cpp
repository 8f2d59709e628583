#include "engine/standin/file_player.h"

#include <algorithm>
#include <new>

#include "engine/standin/error_codes.h"

namespace standin {

std::shared_ptr<FilePlayer> FilePlayer::Open(GIPSVEInStream* stream, int kind, float scale,
                                             int startMs, int stopMs, int* error) {
  std::shared_ptr<FilePlayer> player;
  try {
    player = std::make_shared<FilePlayer>(stream, scale, startMs, stopMs);
  } catch (const std::bad_alloc&) {
    *error = kOutOfMemory;
    return nullptr;
  }
  player->reader_ = OpenFileReader(&player->stream_, kind, nullptr, kEngineRate, error);
  if (!player->reader_) return nullptr;
  return player;
}

FilePlayer::FilePlayer(GIPSVEInStream* stream, float scale, int startMs, int stopMs)
    : stream_(stream, gate_),
      scale_(scale),
      skipFrames_(startMs / kFrameMs),
      framesLeft_(stopMs > startMs ? (stopMs - startMs + kFrameMs - 1) / kFrameMs : -1) {}

void FilePlayer::Prefetch() {
  GateUse use(gate_);
  if (!use.entered()) reader_.reset();  // stopped: the reader goes with the media thread's use
  if (!reader_) return;
  ready_ = true;
  std::fill_n(frame_, kEngineFrame, 0);
  for (int skipped = 0; reader_ && skipFrames_ > 0; --skipFrames_) {
    if (skipped++ == kMaxSkipFramesPerFrame) {  // on with the next frame
      std::fill_n(frame_, kEngineFrame, 0);
      return;
    }
    if (!reader_->ReadFrame(frame_, kEngineFrame)) reader_.reset();
  }
  if (!reader_ || framesLeft_ == 0) {
    reader_.reset();
    std::fill_n(frame_, kEngineFrame, 0);
    return;
  }
  if (!reader_->ReadFrame(frame_, kEngineFrame)) reader_.reset();  // the last, partial frame
  if (framesLeft_ > 0 && --framesLeft_ == 0) reader_.reset();
  ScaleInPlace(frame_, kEngineFrame, scale_);
}

void FilePlayer::ReadFrame(std::int16_t* pcm) {
  if (ready_)
    std::copy_n(frame_, kEngineFrame, pcm);
  else
    std::fill_n(pcm, kEngineFrame, 0);
  ready_ = false;
}

}  // namespace standin
