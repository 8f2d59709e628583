#include "audio/relay_in_stream.h"

#include <algorithm>
#include <cstring>

#include "audio/audio_stream_format.h"

void RelayInStream::Open(LONG format, IAudioSource* source) {
  platform::CriticalSectionLock lock(lock_);
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
  platform::CriticalSectionLock lock(lock_);
  CloseLocked();
}

void RelayInStream::CloseLocked() {
  if (closed_) return;
  // Closed before the end call, so that a source that reacts by stopping
  // its stream finds the relay closed already.
  closed_ = true;
  LONG ignored = 0;
  ++calls_;
  source_->Read(nullptr, 0, &ignored);
  --calls_;
}

void RelayInStream::Reset() {
  platform::CriticalSectionLock lock(lock_);
  source_ = nullptr;
  closed_ = true;
  header_ = nullptr;
  headerLength_ = 0;
  headerPosition_ = 0;
}

bool RelayInStream::IsOpen() {
  platform::CriticalSectionLock lock(lock_);
  return !closed_;
}

bool RelayInStream::InCall() {
  platform::CriticalSectionLock lock(lock_);
  return calls_ > 0;
}

LONG RelayInStream::Format() {
  platform::CriticalSectionLock lock(lock_);
  return format_;
}

int RelayInStream::Read(void* buffer, int length) {
  if (length == 0) {
    Close();
    return 0;
  }
  if (length < 0 || !buffer) return 0;
  auto* out = static_cast<BYTE*>(buffer);
  platform::CriticalSectionLock lock(lock_);
  if (closed_) return 0;
  int copied = 0;
  if (header_ && headerPosition_ < headerLength_) {
    copied = std::min(headerLength_ - headerPosition_, length);
    std::memcpy(out, header_ + headerPosition_, static_cast<size_t>(copied));
    headerPosition_ += copied;
  }
  if (copied == length) return copied;
  LONG wanted = length - copied;
  LONG read = 0;
  unsigned opened = opens_;
  ++calls_;
  HRESULT hr = source_->Read(out + copied, wanted, &read);
  --calls_;
  if (SUCCEEDED(hr) && read > 0) return copied + std::min(read, wanted);
  // A source that reopened the relay from inside its Read has ended only
  // the stream it was reading.
  if (opens_ == opened) CloseLocked();
  return 0;
}
