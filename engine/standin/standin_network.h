// The stand-in's network interface: the type-of-service byte per channel,
// set on the sockets the channel sends from (IP_TOS).
#pragma once

#include "engine/gipsve_network.h"
#include "engine/standin/interface_reference.h"

namespace standin {

class StandInEngine;

class StandInNetwork final : public GIPSVENetwork {
 public:
  explicit StandInNetwork(StandInEngine& engine) : engine_(engine) {}
  StandInNetwork(const StandInNetwork&) = delete;
  StandInNetwork& operator=(const StandInNetwork&) = delete;

  // Hands out the interface with a new reference.
  GIPSVENetwork* Acquire() {
    references_.Acquire();
    return this;
  }
  bool Held() const { return references_.Count() > 0; }

  int SetSendTOS(int channel, int tos, int option) override;
  int Release() override;

 private:
  StandInEngine& engine_;
  InterfaceReference references_;
};

}  // namespace standin
