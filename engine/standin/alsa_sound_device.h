// ALSA PCM devices (Linux builds only).
#pragma once

#include <memory>

#include "engine/standin/sound_device.h"

namespace standin {

// Opens ALSA PCM `name` ("default", "plughw:0", "null", ...) in non-blocking
// mode with about 60 ms of buffer; null when it cannot be opened or does
// not take 16-bit mono at `sampleRate`.
std::unique_ptr<SoundDevice> OpenAlsaDevice(const char* name, SoundDirection direction,
                                            int sampleRate);

}  // namespace standin
