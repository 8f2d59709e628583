// An IAudioSink that keeps what is written in memory, for tests and the
// command-line program. Tests can make Write fail and run code inside Write
// (to stop the stream from there). Thread-safe: the engine writes on its own
// threads while a test looks on.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "host/audio_object.h"
#include "platform/com_ptr.h"

namespace host {

class MemoryAudioSink final : public AudioObject<MemoryAudioSink, IAudioSink> {
 public:
  static platform::ComPtr<MemoryAudioSink> Create();

  // Data writes answer `code` (keeping nothing) after `successesFirst` that
  // still succeed. S_OK removes the failure.
  void SimulateError(HRESULT code, int successesFirst = 0);
  // Runs at the start of every data write (not the end call), with no lock
  // of the sink held.
  void SetWriteHook(std::function<void()> hook);

  // Everything written so far.
  std::string Data() const;
  // Write calls with data, and end calls (null data, count 0).
  int DataWrites() const;
  int EndCalls() const;
  // Calls of any kind that came after the first end call.
  int CallsAfterEnd() const;

  HRESULT STDMETHODCALLTYPE Write(const BYTE* data, LONG count) override;

 private:
  friend AudioObject<MemoryAudioSink, IAudioSink>;
  MemoryAudioSink() = default;
  ~MemoryAudioSink() = default;

  mutable std::mutex mutex_;
  std::string data_;
  HRESULT error_ = S_OK;
  int successesBeforeError_ = 0;
  std::function<void()> hook_;
  int dataWrites_ = 0;
  int endCalls_ = 0;
  int callsAfterEnd_ = 0;
};

}  // namespace host
