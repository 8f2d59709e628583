// RelayInStream: the engine in-stream through which the voice engine reads a
// host audio source (a stream it plays, or a conversion's input). For AMR and
// iLBC it first delivers the file header the engine expects, since host
// sources carry bare frames.
//
// The engine calls Read on its own threads while the owner opens, closes and
// resets the relay on another; every operation holds the relay's critical
// section while it touches the fields, and lets it go while it calls the
// source (one call at a time, relay_calls.h). So a source may stop its
// stream (and so close or reset this relay) from inside its own Read, or
// ask another thread to do it and wait.
#pragma once

#include "engine/engine_streams.h"
#include "medley/audio_streams.h"
#include "audio/relay_calls.h"

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
  // Closes the relay and tells an open source that it is finished with
  // (Read(null, 0)), after a read in progress on another thread has returned
  // (waiting at most RelayCalls::kCloseWait); a closed relay stays as it is.
  void Close();
  // Forgets the source without telling it; the format is kept.
  void Reset();
  bool IsOpen();
  // Whether a call into the host object is still in progress: one that
  // outlasted Close's wait, or the one the caller is inside. The relay must
  // then stay alive until that call returns.
  bool Busy();
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
  void CloseLocked(RelayCalls::Lock& lock);

  RelaySection lock_;
  RelayCalls calls_;
  LONG format_ = 0;
  IAudioSource* source_ = nullptr;
  bool closed_ = true;
  const char* header_ = nullptr;
  int headerLength_ = 0;
  int headerPosition_ = 0;  // header bytes already delivered
  unsigned opens_ = 0;      // tells a source read apart from one after a reopen
};
