// The Windows sound devices through WASAPI (shared mode, event-driven), for
// sound_device_win.cpp, which falls back to winmm where this gives nothing.
#pragma once

#include <memory>

#include "engine/standin/sound_device.h"

namespace standin {

// Wave device `waveId` (WAVE_MAPPER: the default endpoint) as a WASAPI
// stream of 16-bit mono at `sampleRate`; null when the endpoint cannot be
// found or the stream cannot be opened. The device runs a thread of its own;
// Read and Write are for one other thread (the media thread).
std::unique_ptr<SoundDevice> OpenWasapiDevice(SoundDirection direction, unsigned waveId,
                                              int sampleRate);

}  // namespace standin
