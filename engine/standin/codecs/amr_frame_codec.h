// The encoder and decoder shells shared by AMR and AMR-WB. The codec
// libraries work on one storage frame (amr_payload.h) per 20 ms; the shells
// choose the mode, translate storage frames to and from bandwidth-efficient
// payloads, check what arrives before the library sees it, and conceal lost
// frames through the library.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/standin/audio_codec.h"
#include "engine/standin/codecs/amr_payload.h"
#include "engine/standin/codecs/g711_codec.h"

namespace standin {

struct AmrEncoderLibrary {
  amr::Band band;
  int sampleRate;  // 8000 or 16000
  void* (*create)();
  void (*destroy)(void* state);
  // Encodes 20 ms at `mode` into `storage` (room for 64 bytes); returns the
  // storage frame's size.
  int (*encode)(void* state, int mode, const std::int16_t* pcm, std::uint8_t* storage);
};

struct AmrDecoderLibrary {
  amr::Band band;
  int sampleRate;  // 8000 or 16000
  void* (*create)();
  void (*destroy)(void* state);
  // Decodes one storage frame (zero-padded to 64 bytes) into 20 ms of PCM.
  void (*decode)(void* state, const std::uint8_t* storage, std::int16_t* pcm);
  // The TOC byte of the frame handed over for a lost one.
  std::uint8_t lostFrameToc;
  // Makes the concealer whose samples stand in for a lost frame (the
  // library still decodes the lost frame, so its state follows the loss).
  std::unique_ptr<LossConcealer> (*concealer)();
};

// The mode comes from `rate` (amr::ModeForRate). Null when the library
// state cannot be created.
std::unique_ptr<AudioEncoder> CreateAmrFamilyEncoder(const AmrEncoderLibrary& library, int rate);
std::unique_ptr<AudioDecoder> CreateAmrFamilyDecoder(const AmrDecoderLibrary& library);

}  // namespace standin
