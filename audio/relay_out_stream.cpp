#include "audio/relay_out_stream.h"

#include "audio/audio_stream_format.h"

void RelayOutStream::Open(LONG format, IAudioSink* sink) {
  platform::CriticalSectionLock lock(lock_);
  Reset();
  ++opens_;
  format_ = format;
  sink_ = sink;
  closed_ = sink == nullptr;
  if (const AudioStreamFormatInfo* info = FindAudioStreamFormat(format))
    skip_ = static_cast<int>(info->header.size());
}

void RelayOutStream::Close() {
  platform::CriticalSectionLock lock(lock_);
  CloseLocked();
}

void RelayOutStream::CloseLocked() {
  if (closed_) return;
  // Closed before the end call, so that a sink that reacts by stopping its
  // stream finds the relay closed already.
  closed_ = true;
  ++calls_;
  sink_->Write(nullptr, 0);
  --calls_;
}

void RelayOutStream::Reset() {
  platform::CriticalSectionLock lock(lock_);
  sink_ = nullptr;
  closed_ = true;
  skip_ = 0;
}

bool RelayOutStream::IsOpen() {
  platform::CriticalSectionLock lock(lock_);
  return !closed_;
}

bool RelayOutStream::InCall() {
  platform::CriticalSectionLock lock(lock_);
  return calls_ > 0;
}

LONG RelayOutStream::Format() {
  platform::CriticalSectionLock lock(lock_);
  return format_;
}

bool RelayOutStream::Write(const void* data, int length) {
  if (length == 0) {
    Close();
    return true;
  }
  if (length < 0 || !data) return false;
  auto* in = static_cast<const BYTE*>(data);
  platform::CriticalSectionLock lock(lock_);
  if (closed_) return true;
  if (skip_ > 0) {
    if (length <= skip_) {
      skip_ -= length;
      return true;
    }
    in += skip_;
    length -= skip_;
    skip_ = 0;
  }
  unsigned opened = opens_;
  ++calls_;
  const bool written = SUCCEEDED(sink_->Write(in, length));
  --calls_;
  if (written) return true;
  // A sink that reopened the relay from inside its Write has ended only the
  // stream it was writing.
  if (opens_ == opened) CloseLocked();
  return false;
}
