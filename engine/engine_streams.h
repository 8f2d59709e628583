// The stream contract through which the voice engine reads and writes audio
// data that is not a sound device: the caller implements these, the engine
// calls them on its own threads. The slot order below is binding.
#pragma once

// Audio the engine reads (a file to play, a conversion's input).
class GIPSVEInStream {
 public:
  // Copies up to `length` bytes into `buffer` and returns the number copied;
  // 0 means the end of the data. A call with `length` 0 ends the stream.
  virtual int Read(void* buffer, int length) = 0;
  // Repositioning to the start; -1 when the stream cannot do it.
  virtual int Rewind() = 0;
  virtual ~GIPSVEInStream() = default;
};

// Audio the engine writes (a recording, a conversion's output).
class GIPSVEOutStream {
 public:
  // Takes `length` bytes from `data`; false when the data could not be
  // stored. A call with `length` 0 ends the stream.
  virtual bool Write(const void* data, int length) = 0;
  // Repositioning to the start; -1 when the stream cannot do it.
  virtual int Rewind() = 0;
  virtual ~GIPSVEOutStream() = default;
};
