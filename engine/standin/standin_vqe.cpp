#include "engine/standin/standin_vqe.h"

#include "engine/standin/standin_engine.h"

namespace standin {

int StandInVqe::SetAGCStatus(int enable, int) {
  engine_.Media().SetGainControl(enable != 0);
  return 0;
}

int StandInVqe::SetECStatus(bool enable, int, int, int) {
  engine_.Media().SetEchoCancellation(enable);
  return 0;
}

int StandInVqe::Release() { return engine_.ReleaseReference(references_); }

}  // namespace standin
