#include "host/memory_audio_sink.h"

namespace host {

platform::ComPtr<MemoryAudioSink> MemoryAudioSink::Create() {
  return platform::ComPtr<MemoryAudioSink>::Adopt(new MemoryAudioSink());
}

std::string MemoryAudioSink::Data() const {
  std::lock_guard lock(mutex_);
  return data_;
}

HRESULT MemoryAudioSink::Write(const BYTE* data, LONG count) {
  if (!data && count == 0) {
    script_.EndCall();
    return S_OK;
  }
  if (!data || count < 0) return E_POINTER;
  HRESULT hr = script_.DataCall();
  if (hr != S_OK) return hr;
  std::lock_guard lock(mutex_);
  data_.append(reinterpret_cast<const char*>(data), static_cast<size_t>(count));
  return S_OK;
}

}  // namespace host
