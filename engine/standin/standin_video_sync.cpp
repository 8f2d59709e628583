#include "engine/standin/standin_video_sync.h"

#include "engine/standin/standin_engine.h"

namespace standin {

int StandInVideoSync::Release() { return engine_.ReleaseReference(references_); }

}  // namespace standin
