// What the engine knows about each codec, in one place: its RTP clock and
// PCM rate, how its audio lies in a payload (and in a coded file), what a
// lost frame becomes, and which packet times it may be sent at. The
// catalogue, the sender, the receiver and the coded-file reader and writer
// read their facts from here, each looking a codec up once (when it is
// chosen or announced), not on every packet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace standin {

// How a payload (and a coded file) holds the codec's audio.
enum class Framing {
  kStream,  // bytes at a fixed rate per clock tick; any whole frame may end a payload
            // (G.711, G.722, IPCMWB)
  kFrames,  // fixed-size frames back to back, a shorter SID frame may end it (G.729, GSM)
  kAmr,     // AMR payloads (amr_payload.h): TOC entries, then every frame's speech bits;
            // files hold storage frames after a magic line
  kNone,    // not audio: comfort noise parameters, telephone events
};

// How a coded file (file kind 2) holds the codec's audio.
enum class FileForm {
  kPayload,     // the payload bytes of kStream and kFrames codecs back to back, no header
  kAmrStorage,  // a magic line, then storage frames (amr_payload.h)
  kLinearPcm,   // 16-bit little-endian PCM at the sample rate, as an uncompressed file
  kNone,        // not audio
};

// What a decoder plays in place of a lost frame.
enum class Concealment {
  kNone,      // not audio
  kSilence,   // zeros
  kWaveform,  // the last audio stretched out and faded (where the loss concealer exists)
  kDecoder,   // the codec's own erasure decoding
};

struct CodecDescription {
  const char* name;  // the catalogue's spelling
  int payloadType;   // the engine's own number for it
  int clockRate;     // RTP clock, Hz
  int sampleRate;    // PCM the codec takes and gives, Hz (G.722: 16000 on an 8000 clock)
  int rate;          // bit/s the catalogue lists (0: no fixed rate)
  Framing framing;
  int frameMs;       // one frame, the smallest piece a packet is made of
  int frameBytes;    // kStream, kFrames: bytes of one frame
  int sidBytes;      // kFrames: bytes of a SID frame that may end a payload (0: none)
  int packetStepMs;  // packet times allowed: the multiples of this...
  int maxPacketMs;   // ...up to this (0: never sent)
  Concealment concealment;
  FileForm fileForm;

  bool IsAudio() const { return framing != Framing::kNone; }
  // Clock ticks and PCM samples of one frame.
  int FrameTicks() const { return clockRate / 1000 * frameMs; }
  int FrameSamples() const { return sampleRate / 1000 * frameMs; }
  // Whether a packet of `ticks` RTP clock ticks is one this codec is sent in.
  bool AllowsPacketTicks(int ticks) const;
  // Clock ticks a payload of `size` bytes covers, as its contents tell; 0
  // when they do not (not audio, or not a payload of this codec).
  int PayloadTicks(const std::uint8_t* payload, std::size_t size) const;
};

// Every codec the engine knows, in the catalogue's order (whether this
// build implements it is codec_registry.h's business).
std::span<const CodecDescription> CodecDescriptions();

// The description named `name` (ASCII letter case ignored), preferring one
// whose clock rate is `clockRate`; null when no codec has the name.
const CodecDescription* FindCodecDescription(std::string_view name, int clockRate);

}  // namespace standin
