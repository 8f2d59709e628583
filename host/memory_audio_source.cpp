#include "host/memory_audio_source.h"

#include <algorithm>
#include <cstring>

namespace host {

platform::ComPtr<MemoryAudioSource> MemoryAudioSource::Create(std::string_view data) {
  return platform::ComPtr<MemoryAudioSource>::Adopt(new MemoryAudioSource(data));
}

void MemoryAudioSource::SetChunkLimit(LONG bytes) {
  std::lock_guard lock(mutex_);
  chunkLimit_ = bytes;
}

void MemoryAudioSource::SetOverreport(LONG extra) {
  std::lock_guard lock(mutex_);
  overreport_ = extra;
}

size_t MemoryAudioSource::Position() const {
  std::lock_guard lock(mutex_);
  return position_;
}

HRESULT MemoryAudioSource::Read(BYTE* buffer, LONG count, LONG* read) {
  if (!read) return E_POINTER;
  *read = 0;
  if (!buffer && count == 0) {
    script_.EndCall();
    return S_OK;
  }
  if (!buffer || count < 0) return E_POINTER;
  HRESULT hr = script_.DataCall();
  if (hr != S_OK) return hr;
  std::lock_guard lock(mutex_);
  size_t wanted = static_cast<size_t>(count);
  if (chunkLimit_ > 0) wanted = std::min(wanted, static_cast<size_t>(chunkLimit_));
  size_t copied = std::min(wanted, data_.size() - position_);
  std::memcpy(buffer, data_.data() + position_, copied);
  position_ += copied;
  *read = static_cast<LONG>(copied) + overreport_;
  return S_OK;
}

}  // namespace host
