// ChannelState: what the media handler keeps for one reserved voice channel,
// and the channel table that maps the engine's channel identifiers to it.
#pragma once

#include <cstdint>
#include <map>

#include "medley/com_base.h"
#include "platform/bstr.h"
#include "platform/wide_text.h"

struct ChannelState {
  // Dynamic payload numbers remembered per encoding name (exact spelling),
  // so that a codec keeps its number through later offers and answers.
  std::map<platform::OleString, LONG> payloadNumbers;
  bool listening = false;
  bool playing = false;
  bool sending = false;
  std::uint16_t receivePort = 0;  // local RTP port; 0 until a media line chose one
  platform::BString sendAddress;  // remote RTP address
  std::uint16_t sendPort = 0;     // remote RTP port
};

// Ordered by channel identifier (signed, as the engine hands them out).
using ChannelTable = std::map<LONG, ChannelState>;
