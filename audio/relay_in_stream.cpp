#include "audio/relay_in_stream.h"

#include <algorithm>
#include <cstring>

#include "audio/audio_stream_format.h"

void RelayInStream::Open(LONG format, IAudioSource* source) {
  RelayCalls::Lock lock(lock_);
  Reset();
  ++opens_;
  format_ = format;
  source_ = source;
  closed_ = source == nullptr;
  if (const AudioStreamFormatInfo* info = FindAudioStreamFormat(format);
      info && !info->header.empty()) {
    header_ = info->header.data();
    headerLength_ = static_cast<int>(info->header.size());
  }
}

void RelayInStream::Close() {
  RelayCalls::Lock lock(lock_);
  CloseLocked(lock);
}

void RelayInStream::CloseLocked(RelayCalls::Lock& lock) {
  if (closed_) return;
  // Closed before the end call, so that a source that reacts by stopping
  // its stream finds the relay closed already, and no read begins after.
  closed_ = true;
  IAudioSource* source = source_;
  calls_.WaitForOthers(lock);
  lock.unlock();
  LONG ignored = 0;
  source->Read(nullptr, 0, &ignored);
  lock.lock();
}

void RelayInStream::Reset() {
  RelayCalls::Lock lock(lock_);
  source_ = nullptr;
  closed_ = true;
  header_ = nullptr;
  headerLength_ = 0;
  headerPosition_ = 0;
}

bool RelayInStream::IsOpen() {
  RelayCalls::Lock lock(lock_);
  return !closed_;
}

bool RelayInStream::Busy() {
  RelayCalls::Lock lock(lock_);
  return calls_.Busy();
}

LONG RelayInStream::Format() {
  RelayCalls::Lock lock(lock_);
  return format_;
}

int RelayInStream::Read(void* buffer, int length) {
  if (length == 0) {
    Close();
    return 0;
  }
  if (length < 0 || !buffer) return 0;
  auto* out = static_cast<BYTE*>(buffer);
  RelayCalls::Lock lock(lock_);
  calls_.Begin(lock);
  if (closed_) {
    calls_.End();
    return 0;
  }
  int copied = 0;
  if (header_ && headerPosition_ < headerLength_) {
    copied = std::min(headerLength_ - headerPosition_, length);
    std::memcpy(out, header_ + headerPosition_, static_cast<size_t>(copied));
    headerPosition_ += copied;
  }
  if (copied == length) {
    calls_.End();
    return copied;
  }
  LONG wanted = length - copied;
  LONG read = 0;
  IAudioSource* source = source_;
  unsigned opened = opens_;
  lock.unlock();
  HRESULT hr = source->Read(out + copied, wanted, &read);
  lock.lock();
  calls_.End();
  if (SUCCEEDED(hr) && read > 0) return copied + std::min(read, wanted);
  // A source that reopened the relay from inside its Read has ended only
  // the stream it was reading.
  if (opens_ == opened) CloseLocked(lock);
  return 0;
}
