// The host's audio stream objects, which the plug-in plays from and records
// into (IAudioControl's stream methods), and the host's audio format codes.
//
// The plug-in calls a source or sink only through Read or Write, on the voice
// engine's threads, and never queries it for an interface or keeps a
// reference: the host keeps the object alive until the stream is stopped.
// The slot order is binding.
#pragma once

#include "medley/com_base.h"
#include "medley/host_interfaces.h"

constexpr IID IID_IAudioSource = {
    0x1910BF32, 0xF3D0, 0x4773, {0xA6, 0x3F, 0x94, 0x5D, 0x3A, 0xBD, 0xA9, 0xE9}};
constexpr IID IID_IAudioSink = {
    0x62C637C1, 0xC0F5, 0x4A94, {0xA4, 0xA5, 0x4D, 0x30, 0x89, 0xEA, 0x0B, 0xF1}};

// The format code of a host stream (a LONG on the interfaces). AMR and iLBC
// streams carry bare frames: the file header the voice engine wants is added
// and stripped by the plug-in.
enum AudioStreamFormat : LONG {
  AUDIO_STREAM_PCMU = 0,
  AUDIO_STREAM_PCMA = 1,
  AUDIO_STREAM_PCM = 2,  // uncompressed 16-bit samples
  AUDIO_STREAM_WAV = 3,
  AUDIO_STREAM_AMR = 4,
  AUDIO_STREAM_ILBC = 5,
};

// Audio the plug-in reads.
class IAudioSource : public IUnknown {
 public:
  // Copies up to `count` bytes into `buffer` and stores how many in `*read`;
  // 0 bytes means the end of the data. A call with a null buffer and a count
  // of 0 says the plug-in has finished with the source.
  virtual HRESULT STDMETHODCALLTYPE Read(BYTE* buffer, LONG count, LONG* read) = 0;

 protected:
  ~IAudioSource() = default;
};

// Audio the plug-in writes.
class IAudioSink : public IUnknown {
 public:
  // Takes `count` bytes. A call with null data and a count of 0 says the
  // stream has ended.
  virtual HRESULT STDMETHODCALLTYPE Write(const BYTE* data, LONG count) = 0;

 protected:
  ~IAudioSink() = default;
};

template <>
struct InterfaceIdOf<IAudioSource> {
  static constexpr const IID& value = IID_IAudioSource;
};
template <>
struct InterfaceIdOf<IAudioSink> {
  static constexpr const IID& value = IID_IAudioSink;
};
