// The engine's codec record: a fixed 52-byte block exchanged with the voice
// engine. Callers fill it with zeros before use.
#pragma once

#include <cstddef>

static_assert(sizeof(int) == 4, "the engine record is made of 32-bit integers");

struct EngineCodecRecord {
  static constexpr int kNameSize = 32;  // at most 31 characters and the NUL

  int payloadType;       // RTP payload type
  char name[kNameSize];  // 8-bit text, zero-terminated
  int frequency;         // RTP clock rate in Hz
  int packetSize;        // clock ticks (samples) per packet
  int channels;
  int rate;  // bit rate in bit/s
};

static_assert(sizeof(EngineCodecRecord) == 52);
static_assert(offsetof(EngineCodecRecord, payloadType) == 0);
static_assert(offsetof(EngineCodecRecord, name) == 4);
static_assert(offsetof(EngineCodecRecord, frequency) == 36);
static_assert(offsetof(EngineCodecRecord, packetSize) == 40);
static_assert(offsetof(EngineCodecRecord, channels) == 44);
static_assert(offsetof(EngineCodecRecord, rate) == 48);
