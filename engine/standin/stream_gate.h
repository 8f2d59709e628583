// Who may call a stream the engine was given, and until when. The media
// thread enters a player's or recorder's gate around each use and makes
// every call into the caller's stream through it; the caller's thread closes
// the gate when it stops the stream. Once Close returns, no call into the
// stream begins, so the caller may release it.
//
// Close waits for a use in progress on another thread, but at most `limit`
// (a frame or two): a stream whose Read waits for the caller's own thread
// (which is inside Close) must not hang both. A Close from inside the
// stream's own call (the media thread stopping what it is reading) does
// not wait at all.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/engine_streams.h"

namespace standin {

class StreamGate {
 public:
  // Media thread: begins a use; false once the gate is closing.
  bool Enter();
  void Leave();
  // Makes one call into the stream unless the gate is sealed; false then.
  template <class Call>
  bool Pass(Call&& call) {
    {
      std::lock_guard lock(mutex_);
      if (sealed_) return false;
      ++streamCalls_;
    }
    call();
    std::lock_guard lock(mutex_);
    --streamCalls_;
    return true;
  }
  // Any thread: no use begins after this. True when no use is in progress
  // elsewhere: the caller may use the object itself (finish a recording) and
  // then Seal. False when the caller is inside the use, or when a stream call
  // on another thread outlasted `limit`; the gate is sealed then.
  bool Close(std::chrono::milliseconds limit);
  // No stream call begins after this.
  void Seal();

 private:
  std::mutex mutex_;
  std::condition_variable idle_;
  bool closing_ = false;
  bool sealed_ = false;
  bool busy_ = false;
  std::thread::id user_;
  int streamCalls_ = 0;
};

// Enters a gate for the scope; `entered` tells whether it did.
class GateUse {
 public:
  explicit GateUse(StreamGate& gate) : gate_(gate), entered_(gate.Enter()) {}
  ~GateUse() {
    if (entered_) gate_.Leave();
  }
  GateUse(const GateUse&) = delete;
  GateUse& operator=(const GateUse&) = delete;
  bool entered() const { return entered_; }

 private:
  StreamGate& gate_;
  bool entered_;
};

// The caller's streams seen through a gate: a sealed gate reads as the end
// of the data and refuses writes.
class GatedInStream final : public GIPSVEInStream {
 public:
  GatedInStream(GIPSVEInStream* stream, StreamGate& gate) : stream_(stream), gate_(gate) {}
  int Read(void* buffer, int length) override;
  int Rewind() override { return -1; }

 private:
  GIPSVEInStream* stream_;
  StreamGate& gate_;
};

class GatedOutStream final : public GIPSVEOutStream {
 public:
  GatedOutStream(GIPSVEOutStream* stream, StreamGate& gate) : stream_(stream), gate_(gate) {}
  bool Write(const void* data, int length) override;
  int Rewind() override { return -1; }

 private:
  GIPSVEOutStream* stream_;
  StreamGate& gate_;
};

}  // namespace standin
