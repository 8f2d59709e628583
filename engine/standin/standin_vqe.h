// The stand-in's voice quality interface: echo cancellation and gain control
// of the microphone signal (voice_processor.h). Modes and options are
// accepted and do not change how either works.
#pragma once

#include "engine/gipsve_vqe.h"
#include "engine/standin/interface_reference.h"

namespace standin {

class StandInEngine;

class StandInVqe final : public GIPSVEVQE {
 public:
  explicit StandInVqe(StandInEngine& engine) : engine_(engine) {}
  StandInVqe(const StandInVqe&) = delete;
  StandInVqe& operator=(const StandInVqe&) = delete;

  // Hands out the interface with a new reference.
  GIPSVEVQE* Acquire() {
    references_.Acquire();
    return this;
  }
  bool Held() const { return references_.Count() > 0; }

  int SetAGCStatus(int enable, int mode) override;
  int SetECStatus(bool enable, int mode, int option1, int option2) override;
  int Release() override;

 private:
  StandInEngine& engine_;
  InterfaceReference references_;
};

}  // namespace standin
