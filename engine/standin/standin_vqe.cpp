#include "engine/standin/standin_vqe.h"

#include "engine/standin/standin_engine.h"

namespace standin {

int StandInVqe::SetAGCStatus(int enable, int mode) {
  gainControl_ = enable != 0;
  gainMode_ = mode;
  engine_.Media().SetGainControl(gainControl_);
  return 0;
}

int StandInVqe::SetECStatus(bool enable, int mode, int option1, int option2) {
  echoCancellation_ = enable;
  echoMode_ = mode;
  engine_.Media().SetEchoCancellation(enable);
  echoOption1_ = option1;
  echoOption2_ = option2;
  return 0;
}

int StandInVqe::Release() { return engine_.ReleaseReference(references_); }

}  // namespace standin
