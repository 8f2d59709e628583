// The audio streams and the conversation recording of one reserved channel.
// Each stream kind is off or on: it goes on only when the engine accepted the
// stream and off only when the engine accepted the stop. The relays are what
// the engine reads and writes while a stream is on, so the state must outlive
// every engine stream that uses them: stop the streams (and close the relays)
// before deleting it. Keep it at a fixed address (the engine holds pointers
// to the relays).
#pragma once

#include "audio/relay_in_stream.h"
#include "audio/relay_out_stream.h"

struct ChannelStreamState {
  bool playing = false;       // a local play stream runs
  bool sending = false;       // a send stream runs
  bool recording = false;     // a record stream runs
  bool conversation = false;  // the conversation is being recorded
  RelayInStream playRelay;
  RelayInStream sendRelay;
  RelayOutStream recordRelay;
};
