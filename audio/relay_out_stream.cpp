#include "audio/relay_out_stream.h"

#include "audio/audio_stream_format.h"

void RelayOutStream::Open(LONG format, IAudioSink* sink) {
  RelayCalls::Lock lock(lock_);
  Reset();
  ++opens_;
  format_ = format;
  sink_ = sink;
  closed_ = sink == nullptr;
  if (const AudioStreamFormatInfo* info = FindAudioStreamFormat(format))
    skip_ = static_cast<int>(info->header.size());
}

void RelayOutStream::Close() {
  RelayCalls::Lock lock(lock_);
  CloseLocked(lock);
}

void RelayOutStream::CloseLocked(RelayCalls::Lock& lock) {
  if (closed_) return;
  // Closed before the end call, so that a sink that reacts by stopping its
  // stream finds the relay closed already, and no write begins after.
  closed_ = true;
  IAudioSink* sink = sink_;
  calls_.WaitForOthers(lock);
  lock.unlock();
  sink->Write(nullptr, 0);
  lock.lock();
}

void RelayOutStream::Reset() {
  RelayCalls::Lock lock(lock_);
  sink_ = nullptr;
  closed_ = true;
  skip_ = 0;
}

bool RelayOutStream::IsOpen() {
  RelayCalls::Lock lock(lock_);
  return !closed_;
}

bool RelayOutStream::Busy() {
  RelayCalls::Lock lock(lock_);
  return calls_.Busy();
}

LONG RelayOutStream::Format() {
  RelayCalls::Lock lock(lock_);
  return format_;
}

bool RelayOutStream::Write(const void* data, int length) {
  if (length == 0) {
    Close();
    return true;
  }
  if (length < 0 || !data) return false;
  auto* in = static_cast<const BYTE*>(data);
  RelayCalls::Lock lock(lock_);
  calls_.Begin(lock);
  if (closed_) {
    calls_.End();
    return true;
  }
  if (skip_ > 0) {
    if (length <= skip_) {
      skip_ -= length;
      calls_.End();
      return true;
    }
    in += skip_;
    length -= skip_;
    skip_ = 0;
  }
  IAudioSink* sink = sink_;
  unsigned opened = opens_;
  lock.unlock();
  const bool written = SUCCEEDED(sink->Write(in, length));
  lock.lock();
  calls_.End();
  if (written) return true;
  // A sink that reopened the relay from inside its Write has ended only the
  // stream it was writing.
  if (opens_ == opened) CloseLocked(lock);
  return false;
}
