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

void MemoryAudioSource::SimulateError(HRESULT code, int successesFirst) {
  std::lock_guard lock(mutex_);
  error_ = code;
  successesBeforeError_ = successesFirst;
}

void MemoryAudioSource::SetReadHook(std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  hook_ = std::move(hook);
}

int MemoryAudioSource::DataReads() const {
  std::lock_guard lock(mutex_);
  return dataReads_;
}

int MemoryAudioSource::EndCalls() const {
  std::lock_guard lock(mutex_);
  return endCalls_;
}

int MemoryAudioSource::CallsAfterEnd() const {
  std::lock_guard lock(mutex_);
  return callsAfterEnd_;
}

size_t MemoryAudioSource::Position() const {
  std::lock_guard lock(mutex_);
  return position_;
}

HRESULT MemoryAudioSource::Read(BYTE* buffer, LONG count, LONG* read) {
  if (!read) return E_POINTER;
  *read = 0;
  if (!buffer && count == 0) {
    std::lock_guard lock(mutex_);
    if (endCalls_ > 0) ++callsAfterEnd_;
    ++endCalls_;
    return S_OK;
  }
  if (!buffer || count < 0) return E_POINTER;
  std::function<void()> hook;
  bool endedBefore = false;  // a stop from inside the hook ends only later calls
  {
    std::lock_guard lock(mutex_);
    hook = hook_;
    endedBefore = endCalls_ > 0;
  }
  if (hook) hook();
  std::lock_guard lock(mutex_);
  ++dataReads_;
  if (endedBefore) ++callsAfterEnd_;
  if (error_ != S_OK) {
    if (successesBeforeError_ == 0) return error_;
    --successesBeforeError_;
  }
  size_t wanted = static_cast<size_t>(count);
  if (chunkLimit_ > 0) wanted = std::min(wanted, static_cast<size_t>(chunkLimit_));
  size_t copied = std::min(wanted, data_.size() - position_);
  std::memcpy(buffer, data_.data() + position_, copied);
  position_ += copied;
  *read = static_cast<LONG>(copied) + overreport_;
  return S_OK;
}

}  // namespace host
