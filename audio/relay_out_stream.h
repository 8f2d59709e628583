// RelayOutStream: the engine out-stream through which the voice engine writes
// into a host audio sink (a recording, or a conversion's output). For AMR and
// iLBC it drops the file header the engine writes first, so that the sink
// receives bare frames.
//
// Threads and locking as RelayInStream: every operation holds the relay's
// recursive critical section, also while it calls the sink, and a sink may
// stop its stream from inside its own Write on the calling thread.
#pragma once

#include "engine/engine_streams.h"
#include "medley/audio_streams.h"
#include "platform/sync.h"

class RelayOutStream final : public GIPSVEOutStream {
 public:
  RelayOutStream() = default;
  // Says nothing to the sink: Close first when it should hear the end.
  ~RelayOutStream() override = default;
  RelayOutStream(const RelayOutStream&) = delete;
  RelayOutStream& operator=(const RelayOutStream&) = delete;

  // Starts relaying into `sink` (borrowed, as RelayInStream's source) in
  // `format`, an AudioStreamFormat. A null sink leaves the relay closed.
  void Open(LONG format, IAudioSink* sink);
  // Tells an open sink that the stream has ended (Write(null, 0)) and closes
  // the relay; a closed relay stays as it is.
  void Close();
  // Forgets the sink without telling it.
  void Reset();
  bool IsOpen();
  // As RelayInStream::InCall: whether the calling thread is inside a call of
  // this relay into the sink (its Write or its end call).
  bool InCall();
  // The format of the last Open.
  LONG Format();

  // Passes the bytes after the header on to the sink. A zero-length call
  // closes the relay; a failing sink closes it and answers false. A closed
  // relay takes everything and answers true. Null data or a negative length
  // is refused (false) and changes nothing.
  bool Write(const void* data, int length) override;
  // The relay cannot rewind a host sink: -1.
  int Rewind() override { return -1; }

 private:
  void CloseLocked();

  platform::CriticalSection lock_;
  LONG format_ = 0;
  IAudioSink* sink_ = nullptr;
  bool closed_ = true;
  int skip_ = 0;        // header bytes still to drop
  unsigned opens_ = 0;  // tells a sink write apart from one after a reopen
  int calls_ = 0;       // calls into the sink in progress (nested on one thread)
};
