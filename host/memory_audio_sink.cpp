#include "host/memory_audio_sink.h"

namespace host {

platform::ComPtr<MemoryAudioSink> MemoryAudioSink::Create() {
  return platform::ComPtr<MemoryAudioSink>::Adopt(new MemoryAudioSink());
}

void MemoryAudioSink::SimulateError(HRESULT code, int successesFirst) {
  std::lock_guard lock(mutex_);
  error_ = code;
  successesBeforeError_ = successesFirst;
}

void MemoryAudioSink::SetWriteHook(std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  hook_ = std::move(hook);
}

std::string MemoryAudioSink::Data() const {
  std::lock_guard lock(mutex_);
  return data_;
}

int MemoryAudioSink::DataWrites() const {
  std::lock_guard lock(mutex_);
  return dataWrites_;
}

int MemoryAudioSink::EndCalls() const {
  std::lock_guard lock(mutex_);
  return endCalls_;
}

int MemoryAudioSink::CallsAfterEnd() const {
  std::lock_guard lock(mutex_);
  return callsAfterEnd_;
}

HRESULT MemoryAudioSink::Write(const BYTE* data, LONG count) {
  if (!data && count == 0) {
    std::lock_guard lock(mutex_);
    if (endCalls_ > 0) ++callsAfterEnd_;
    ++endCalls_;
    return S_OK;
  }
  if (!data || count < 0) return E_POINTER;
  std::function<void()> hook;
  bool endedBefore = false;  // a stop from inside the hook ends only later calls
  {
    std::lock_guard lock(mutex_);
    hook = hook_;
    endedBefore = endCalls_ > 0;
  }
  if (hook) hook();
  std::lock_guard lock(mutex_);
  ++dataWrites_;
  if (endedBefore) ++callsAfterEnd_;
  if (error_ != S_OK) {
    if (successesBeforeError_ == 0) return error_;
    --successesBeforeError_;
  }
  data_.append(reinterpret_cast<const char*>(data), static_cast<size_t>(count));
  return S_OK;
}

}  // namespace host
