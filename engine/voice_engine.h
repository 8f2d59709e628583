// The whole voice engine contract: the engine object, its nine interfaces,
// the codec record and the stream contract.
#pragma once

#include "engine/engine_codec_record.h"
#include "engine/engine_streams.h"
#include "engine/gips_voice_engine.h"
#include "engine/gipsve_base.h"
#include "engine/gipsve_codec.h"
#include "engine/gipsve_dtmf.h"
#include "engine/gipsve_file.h"
#include "engine/gipsve_hardware.h"
#include "engine/gipsve_network.h"
#include "engine/gipsve_video_sync.h"
#include "engine/gipsve_volume_control.h"
#include "engine/gipsve_vqe.h"
