#include "engine/standin/stream_gate.h"

namespace standin {

bool StreamGate::Enter() {
  std::lock_guard lock(mutex_);
  if (closing_) return false;
  busy_ = true;
  user_ = std::this_thread::get_id();
  return true;
}

void StreamGate::Leave() {
  {
    std::lock_guard lock(mutex_);
    busy_ = false;
  }
  idle_.notify_all();
}

bool StreamGate::Close(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  closing_ = true;
  if (busy_ && user_ == std::this_thread::get_id()) {
    sealed_ = true;
    return false;
  }
  if (idle_.wait_for(lock, limit, [&] { return !busy_; })) return true;
  sealed_ = true;
  // A stream call still running began before the seal: give up on it. Any
  // other work of the use is the engine's own and short; no stream call can
  // begin now.
  if (streamCalls_ > 0) return false;
  idle_.wait(lock, [&] { return !busy_; });
  return false;
}

void StreamGate::Seal() {
  std::lock_guard lock(mutex_);
  sealed_ = true;
}

int GatedInStream::Read(void* buffer, int length) {
  int read = 0;
  gate_.Pass([&] { read = stream_->Read(buffer, length); });
  return read;
}

bool GatedOutStream::Write(const void* data, int length) {
  bool written = false;
  gate_.Pass([&] { written = stream_->Write(data, length); });
  return written;
}

}  // namespace standin
