// Encoders and decoders of the stand-in engine's codecs. Each works on 20 ms
// frames of 16-bit mono PCM at its own sample rate (which may differ from
// the RTP clock rate: G722 samples at 16 kHz on an 8 kHz RTP clock).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/engine_codec_record.h"

namespace standin {

class AudioEncoder {
 public:
  virtual ~AudioEncoder() = default;
  // PCM samples per second that Encode takes.
  virtual int SampleRate() const = 0;
  // PCM samples in one 20 ms frame.
  virtual int FrameSamples() const = 0;
  // RTP timestamp ticks one frame advances.
  virtual int RtpTicksPerFrame() const = 0;
  // Encodes one frame of FrameSamples() samples and appends the RTP payload.
  virtual bool Encode(const std::int16_t* pcm, std::vector<std::uint8_t>& payload) = 0;
};

class AudioDecoder {
 public:
  virtual ~AudioDecoder() = default;
  virtual int SampleRate() const = 0;
  virtual int FrameSamples() const = 0;
  // Decodes one RTP payload and appends its PCM (one or more frames). False
  // for a payload that cannot be decoded; nothing is appended then.
  virtual bool Decode(const std::uint8_t* payload, std::size_t size,
                      std::vector<std::int16_t>& pcm) = 0;
  // Appends one frame standing in for a lost one (concealment or silence).
  virtual void Conceal(std::vector<std::int16_t>& pcm) = 0;
};

// The codec of `codec` (matched by name without regard to letter case, and
// by frequency where a name has several). Null when this build has no
// implementation of it (CN and telephone-event are not audio codecs here).
std::unique_ptr<AudioEncoder> CreateEncoder(const EngineCodecRecord& codec);
std::unique_ptr<AudioDecoder> CreateDecoder(const EngineCodecRecord& codec);

}  // namespace standin
