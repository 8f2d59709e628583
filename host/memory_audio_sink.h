// An IAudioSink that keeps what is written in memory, for tests and the
// command-line program. Tests can make Write fail and run code inside Write
// (to stop the stream from there). Thread-safe: the engine writes on its own
// threads while a test looks on.
#pragma once

#include <functional>
#include <utility>
#include <mutex>
#include <string>

#include "host/audio_object.h"
#include "host/stream_call_script.h"
#include "platform/com_ptr.h"

namespace host {

class MemoryAudioSink final : public AudioObject<MemoryAudioSink, IAudioSink> {
 public:
  static platform::ComPtr<MemoryAudioSink> Create();

  // Data writes answer `code` (keeping nothing) after `successesFirst` that
  // still succeed. S_OK removes the failure.
  void SimulateError(HRESULT code, int successesFirst = 0) {
    script_.SimulateError(code, successesFirst);
  }
  // Runs at the start of every data write (not the end call), with no lock
  // of the sink held.
  void SetWriteHook(std::function<void()> hook) { script_.SetHook(std::move(hook)); }

  // Everything written so far.
  std::string Data() const;
  // Write calls with data, and end calls (null data, count 0).
  int DataWrites() const { return script_.DataCalls(); }
  int EndCalls() const { return script_.EndCalls(); }
  // Calls of any kind that came after the first end call.
  int CallsAfterEnd() const { return script_.CallsAfterEnd(); }

  HRESULT STDMETHODCALLTYPE Write(const BYTE* data, LONG count) override;

 private:
  friend AudioObject<MemoryAudioSink, IAudioSink>;
  MemoryAudioSink() = default;
  ~MemoryAudioSink() = default;

  mutable std::mutex mutex_;
  std::string data_;
  StreamCallScript script_;
};

}  // namespace host
