// The stand-in's lip synchronisation interface, which has nothing to synchronise.
#pragma once

#include "engine/gipsve_video_sync.h"
#include "engine/standin/interface_reference.h"

namespace standin {

class StandInEngine;

class StandInVideoSync final : public GIPSVEVideoSync {
 public:
  explicit StandInVideoSync(StandInEngine& engine) : engine_(engine) {}
  StandInVideoSync(const StandInVideoSync&) = delete;
  StandInVideoSync& operator=(const StandInVideoSync&) = delete;

  // Hands out the interface with a new reference.
  GIPSVEVideoSync* Acquire() {
    references_.Acquire();
    return this;
  }
  bool Held() const { return references_.Count() > 0; }

  int Release() override;

 private:
  StandInEngine& engine_;
  InterfaceReference references_;
};

}  // namespace standin
