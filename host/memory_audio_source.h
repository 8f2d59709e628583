// An IAudioSource over bytes in memory, for tests and the command-line
// program. It hands its data out in order and then reads 0 bytes. Tests can
// limit how much one Read delivers, make it report more than it copied, make
// Read fail, and run code inside Read (to stop the stream from there).
// Thread-safe: the engine reads on its own threads while a test looks on.
#pragma once

#include <functional>
#include <utility>
#include <mutex>
#include <string>
#include <string_view>

#include "host/audio_object.h"
#include "host/stream_call_script.h"
#include "platform/com_ptr.h"

namespace host {

class MemoryAudioSource final : public AudioObject<MemoryAudioSource, IAudioSource> {
 public:
  static platform::ComPtr<MemoryAudioSource> Create(std::string_view data = {});

  // At most `bytes` per Read; 0 (the default) delivers all that is asked.
  void SetChunkLimit(LONG bytes);
  // Read reports `extra` bytes more than it copied, as a faulty source would.
  void SetOverreport(LONG extra);
  // Data reads answer `code` (copying nothing) after `successesFirst` that
  // still succeed. S_OK removes the failure.
  void SimulateError(HRESULT code, int successesFirst = 0) {
    script_.SimulateError(code, successesFirst);
  }
  // Runs at the start of every data read (not the end call), with no lock of
  // the source held.
  void SetReadHook(std::function<void()> hook) { script_.SetHook(std::move(hook)); }

  // Read calls with a buffer, and end calls (null buffer, count 0).
  int DataReads() const { return script_.DataCalls(); }
  int EndCalls() const { return script_.EndCalls(); }
  // Calls of any kind that came after the first end call.
  int CallsAfterEnd() const { return script_.CallsAfterEnd(); }
  // Bytes handed out so far.
  size_t Position() const;

  HRESULT STDMETHODCALLTYPE Read(BYTE* buffer, LONG count, LONG* read) override;

 private:
  friend AudioObject<MemoryAudioSource, IAudioSource>;
  explicit MemoryAudioSource(std::string_view data) : data_(data) {}
  ~MemoryAudioSource() = default;

  mutable std::mutex mutex_;
  std::string data_;
  size_t position_ = 0;
  LONG chunkLimit_ = 0;
  LONG overreport_ = 0;
  StreamCallScript script_;
};

}  // namespace host
