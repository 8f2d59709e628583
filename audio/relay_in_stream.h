// RelayInStream: the engine in-stream through which the voice engine reads a
// host audio source (a stream it plays, or a conversion's input). For AMR and
// iLBC it first delivers the file header the engine expects, since host
// sources carry bare frames.
//
// The engine calls Read on its own threads while the owner opens, closes and
// resets the relay on another; every operation holds the relay's critical
// section, also while it calls the source. The section is recursive, so a
// source may stop its stream (and so close or reset this relay) from inside
// its own Read on the calling thread. A source whose Read waits for another
// thread that closes this relay deadlocks: it must not.
#pragma once

#include "engine/engine_streams.h"
#include "medley/audio_streams.h"
#include "platform/sync.h"

class RelayInStream final : public GIPSVEInStream {
 public:
  RelayInStream() = default;
  // Says nothing to the source: Close first when it should hear the end.
  ~RelayInStream() override = default;
  RelayInStream(const RelayInStream&) = delete;
  RelayInStream& operator=(const RelayInStream&) = delete;

  // Starts relaying from `source` (borrowed: the host keeps it alive until
  // the relay is closed or reset) in `format`, an AudioStreamFormat. A null
  // source leaves the relay closed.
  void Open(LONG format, IAudioSource* source);
  // Tells an open source that it is finished with (Read(null, 0)) and closes
  // the relay; a closed relay stays as it is.
  void Close();
  // Forgets the source without telling it; the format is kept.
  void Reset();
  bool IsOpen();
  // Whether the calling thread is inside one of this relay's calls into the
  // source (its Read or its end call): the relay must then outlive that call.
  // Another thread's call holds the section, so this waits for it to return.
  bool InCall();
  // The format of the last Open.
  LONG Format();

  // Delivers up to `length` bytes: what is left of the header, then what the
  // source reads into the rest. Answers the byte count, 0 at the end. The
  // relay closes on a zero-length call, and when the source fails or reads
  // nothing (then the answer is 0 even if header bytes were copied). A count
  // the source reports beyond what was asked is cut to what was asked. A
  // null buffer or a negative length delivers nothing.
  int Read(void* buffer, int length) override;
  // The relay cannot rewind a host source: -1.
  int Rewind() override { return -1; }

 private:
  void CloseLocked();

  platform::CriticalSection lock_;
  LONG format_ = 0;
  IAudioSource* source_ = nullptr;
  bool closed_ = true;
  const char* header_ = nullptr;
  int headerLength_ = 0;
  int headerPosition_ = 0;  // header bytes already delivered
  unsigned opens_ = 0;      // tells a source read apart from one after a reopen
  int calls_ = 0;           // calls into the source in progress (nested on one thread)
};
